#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Snakemake workflow against one search: the sequences in SHARDS shards
# searched by one job each (--cores CORES, threads 1 per job), against one
# brisel-search -j CORES over one database of the same sequences; both with
# the site patterns of data/ at -e 9 (every motif on every sequence). Prints
# the wall time of
#   build    brisel-makedb sequences (one database) and motifs
#   search   brisel-search -j CORES over it
#   workflow the whole workflow from FASTA to result (builds included)
#   wsearch  the workflow's search and concatenation jobs alone (forced rerun
#            over the shards it built)
# and checks that the two results are byte for byte the same.
#
#   [MOTIFS=patterns.txt CUTOFF=-2] bench/workflow.sh PROTEINS.fasta [SHARDS] [CORES]
#
# Needs snakemake (apt-get install snakemake); builds nothing: run `make build`.
set -euo pipefail
input=$(realpath "${1:?usage: workflow.sh PROTEINS.fasta [SHARDS] [CORES]}")
shards=${2:-4}
cores=${3:-2}
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$here/build/src/brisel-search/brisel-search" "$work/bin/brisel-search"
ln -s "$here/build/src/brisel-makedb/brisel-makedb" "$work/bin/brisel-makedb"
export PATH="$work/bin:$PATH"
cd "$work"

seconds() {  # command...: runs it, prints its wall time
  local start end
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}

motifs=$(realpath "${MOTIFS:-$here/data/site-patterns.txt}")
cutoff=${CUTOFF:-9}
sync
build=$(seconds sh -c "brisel-makedb sequences -q '$input' one && brisel-makedb motifs -q '$motifs' sites")
sync
search=$(seconds sh -c "brisel-search -j $cores -l -e $cutoff -m sites -s one > one.out 2> /dev/null")
run() {
  snakemake -s "$here/workflow/Snakefile" --cores "$cores" --quiet "$@" \
    --config sequences="$input" motifs="$motifs" shards="$shards" cutoff="$cutoff" threads=1 \
    format=pipe out="$work/workflow.out" work="$work/run" > snakemake.log 2>&1
}
sync
workflow=$(seconds run)
cmp one.out workflow.out
sync
wsearch=$(seconds run --forcerun search_shard)
cmp one.out workflow.out

printf "build    %7.2f s  (one database and the motifs)\n" "$build"
printf "search   %7.2f s  (brisel-search -j %s)\n" "$search" "$cores"
printf "workflow %7.2f s  (%s shards, --cores %s, builds included)  %.2fx build+search\n" \
  "$workflow" "$shards" "$cores" "$(echo "$workflow / ($build + $search)" | bc -l)"
printf "wsearch  %7.2f s  (the workflow's searches and concatenation)  %.2fx search\n" \
  "$wsearch" "$(echo "$wsearch / $search" | bc -l)"
echo "outputs identical: $(stat -c %s one.out) bytes"
