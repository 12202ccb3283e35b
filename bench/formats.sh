#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The cost of the output formats: the site patterns of data/ at -e 9 (every
# motif on every sequence, about 9.3 million hits on the 486,000 sequences of
# prepare-proteins.sh) written as pipe, tsv and gff3, alternating, each run
# once with standard output to /dev/null (the cost of forming the rows) and
# once to a file (that cost plus the kernel's for the bytes written, which
# grows faster than the size once the page cache writes back); prints the
# median wall time of each, the output size and the ratios to pipe's.
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
makedb=$here/build/bin/brisel-makedb
search=$here/build/bin/brisel-search
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$makedb" sequences -q "$input" "$work/sequences"
"$makedb" motifs -q "$here/data/site-patterns.txt" "$work/sites"

formats="pipe tsv gff3"
timed() {  # times-file output: one search, its wall time appended
  local start end
  start=$(date +%s.%N)
  "$search" -j "$threads" -F "$format" -l -e 9 -m "$work/sites" -s "$work/sequences" \
    > "$2" 2> /dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc >> "$1"
}
for ((i = 0; i < runs; i++)); do
  for format in $formats; do
    timed "$work/null.$format" /dev/null
    rm -f "$work/out.$format"
    sync
    timed "$work/file.$format" "$work/out.$format"
  done
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
null_pipe=$(median "$work/null.pipe")
file_pipe=$(median "$work/file.pipe")
printf "%-6s %12s %10s %6s %10s %6s\n" format bytes /dev/null ratio file ratio
for format in $formats; do
  null=$(median "$work/null.$format")
  file=$(median "$work/file.$format")
  printf "%-6s %12d %10.2f %6.2f %10.2f %6.2f\n" "$format" "$(stat -c %s "$work/out.$format")" \
    "$null" "$(echo "$null / $null_pipe" | bc -l)" "$file" "$(echo "$file / $file_pipe" | bc -l)"
done
