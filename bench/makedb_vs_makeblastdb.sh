#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Times brisel-makedb against makeblastdb (Debian's ncbi-blast+) on the same
# FASTA file, alternating the two, and reports the median wall time and peak
# memory of each, and the size of the database brisel-makedb writes.
#
#   bench/makedb_vs_makeblastdb.sh PROTEINS.fasta [RUNS]
#
# PROTEINS.fasta: e.g. the 486,000 sequences of prepare-proteins.sh from the
# shared data. Page cache writeback is flushed (sync) before every run so that
# neither tool pays for the other's output.
#
# BASELINE=path/to/brisel-makedb also times another build of brisel-makedb
# (e.g. an older commit) in the same alternation; SHARDS=N also times
# brisel-makedb --shards N (which reads the input twice).
set -euo pipefail
input=${1:?usage: makedb_vs_makeblastdb.sh PROTEINS.fasta [RUNS]}
runs=${2:-5}
here=$(cd "$(dirname "$0")/.." && pwd)
makedb=${MAKEDB:-$here/build/bin/brisel-makedb}
command -v makeblastdb >/dev/null || {
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq ncbi-blast+ >/dev/null
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

measure() {  # name, command...: appends "seconds kilobytes" to $work/name
  local name=$1; shift
  sync
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
  cat "$work/time" >> "$work/$name"
}

names="brisel blast"
for ((i = 0; i < runs; i++)); do
  measure brisel "$makedb" sequences -q "$input" "$work/sprot"
  measure blast makeblastdb -dbtype prot -in "$input" -out "$work/blast"
  rm -f "$work"/blast.*
  if [[ -n ${BASELINE:-} ]]; then
    measure baseline "$BASELINE" sequences -q "$input" "$work/baseline"
    rm -f "$work"/baseline-*
  fi
  if [[ -n ${SHARDS:-} ]]; then
    measure shards "$makedb" sequences -q --shards "$SHARDS" "$input" "$work/sharded"
    rm -f "$work"/sharded.*
  fi
done
[[ -n ${BASELINE:-} ]] && names="$names baseline"
[[ -n ${SHARDS:-} ]] && names="$names shards"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
db_bytes=$(cat "$work"/sprot-* | wc -c)
for name in $names; do
  seconds=$(cut -d' ' -f1 "$work/$name" | median)
  kilobytes=$(cut -d' ' -f2 "$work/$name" | median)
  printf '%-8s median %6.2f s  peak %8d KiB\n' "$name" "$seconds" "$kilobytes"
done
printf 'database written by brisel-makedb: %d bytes (%.0f MiB)\n' "$db_bytes" "$(echo "$db_bytes / 1048576" | bc -l)"
