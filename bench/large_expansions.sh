#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The cost of a pattern that expands into more than 1,000 motifs: brisel-makedb's
# time and motif count, and the indexed search's time over a sequence database,
# with the 16 site patterns of data/site-patterns.txt alone and with the
# patterns of bench/large_patterns.txt added.
#
#   bench/large_expansions.sh [-f PROTEINS.fasta] [-j THREADS] [-k] [-w DIR]
#
#   -f  the sequences (default /work/benchdata/proteins.fasta)
#   -j  threads of the search (default 2)
#   -k  keep the work directory (the sequence database is reused when present)
#   -w  work directory (default: a new temporary one)
#
# Each build and search runs three times; the best wall time is printed. The
# searches run at the default cut-off and at -e 9 (every motif on every
# sequence), their output counted, not kept.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
input=/work/benchdata/proteins.fasta threads=2 keep=0 work=''
while getopts "f:j:kw:" option; do
  case $option in
    f) input=$(realpath "$OPTARG") ;;
    j) threads=$OPTARG ;;
    k) keep=1 ;;
    w) work=$OPTARG ;;
    *) sed -n '3,17p' "$0"; exit 2 ;;
  esac
done
if [ -z "$work" ]; then work=$(mktemp -d); fi
mkdir -p "$work"
work=$(realpath "$work")
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT

make -C "$here" build > "$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
search=$here/build/bin/brisel-search
makedb=$here/build/bin/brisel-makedb

[ -s "$work/sequences-stats" ] || "$makedb" sequences -q "$input" "$work/sequences"
grep -v '^#' "$here/data/site-patterns.txt" > "$work/sites.txt"
cat "$work/sites.txt" <(grep -v '^#' "$here/bench/large_patterns.txt") > "$work/with-large.txt"

# best SECONDS of three runs of `command...`, its standard error in $work/last.err.
best() {
  local best='' start seconds
  for _ in 1 2 3; do
    start=$EPOCHREALTIME
    "$@" 2> "$work/last.err"
    seconds=$(echo "$EPOCHREALTIME - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$seconds < $best" | bc -l)" = 1 ]; then best=$seconds; fi
  done
  echo "$best"
}
count_hits() { "$search" "$@" 2> /dev/null | grep -vc '^>' || true; }
cat "$work"/sequences-* > /dev/null

printf '%-11s %8s %10s %9s %12s %12s %12s %12s\n' motifs count "makedb" "motif MiB" \
  "search -e -2" "hit lines" "search -e 9" "hit lines"
for name in sites with-large; do
  makedb_seconds=$(best "$makedb" motifs "$work/$name.txt" "$work/$name")
  grep warning "$work/last.err" > "$work/$name.warnings" || true
  motifs=$(head -1 "$work/$name-stats")
  bytes=$(cat "$work/$name"-*.bin | wc -c)
  args=(-j "$threads" -l -m "$work/$name" -s "$work/sequences")
  default_seconds=$(best sh -c '"$0" "$@" > /dev/null' "$search" "${args[@]}")
  all_seconds=$(best sh -c '"$0" "$@" > /dev/null' "$search" "${args[@]}" -e 9)
  printf '%-11s %8s %8.3f s %9.2f %10.2f s %12s %10.2f s %12s\n' "$name" "$motifs" \
    "$makedb_seconds" "$(echo "$bytes / 1048576" | bc -l)" "$default_seconds" \
    "$(count_hits "${args[@]}")" "$all_seconds" "$(count_hits "${args[@]}" -e 9)"
  sed 's/^/  /' "$work/$name.warnings"
done
