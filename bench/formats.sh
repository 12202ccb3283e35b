#!/usr/bin/env bash
# The cost of the output formats: the site patterns of data/ at -e 9 (every
# motif on every sequence, about 9.3 million hits on the 486,000 sequences of
# prepare-proteins.sh) written as pipe, tsv and gff3, alternating, each run
# with standard output to a file; prints the median wall time of each format,
# its output size and its ratio to pipe's.
#
#   bench/formats.sh PROTEINS.fasta [RUNS] [THREADS]
#
# RUNS (default 3) timed runs of each format; THREADS (default 1) is -j.
# Builds nothing: run `make build` first.
set -euo pipefail
input=${1:?usage: formats.sh PROTEINS.fasta [RUNS] [THREADS]}
runs=${2:-3}
threads=${3:-1}
here=$(cd "$(dirname "$0")/.." && pwd)
makedb=$here/build/src/brisel-makedb/brisel-makedb
search=$here/build/src/brisel-search/brisel-search
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$makedb" sequences -q "$input" "$work/sequences"
"$makedb" motifs -q "$here/data/site-patterns.txt" "$work/sites"

formats="pipe tsv gff3"
for ((i = 0; i < runs; i++)); do
  for format in $formats; do
    start=$(date +%s.%N)
    "$search" -j "$threads" -F "$format" -l -e 9 -m "$work/sites" -s "$work/sequences" \
      > "$work/out.$format" 2> /dev/null
    end=$(date +%s.%N)
    echo "$end - $start" | bc >> "$work/times.$format"
  done
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
pipe=$(median "$work/times.pipe")
printf "%-6s %10s %12s %8s\n" format seconds bytes ratio
for format in $formats; do
  seconds=$(median "$work/times.$format")
  printf "%-6s %10.2f %12d %8.2f\n" "$format" "$seconds" "$(stat -c %s "$work/out.$format")" \
    "$(echo "$seconds / $pipe" | bc -l)"
done
