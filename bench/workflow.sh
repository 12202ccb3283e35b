#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Snakemake workflow against one search: the sequences in SHARDS shards
# built and searched by one job each (--cores CORES, THREADS per search job,
# CORES by default), against brisel-makedb sequences and one brisel-search -j
# CORES over one
# database of the same sequences; by default with the site patterns of data/
# at -e 9 (every motif on every sequence). Prints the wall time of
#   build    brisel-makedb sequences (one database), and motifs
#   search   brisel-search -j CORES over it
#   workflow the whole workflow from FASTA to result (builds included)
#   wsearch  the workflow's search and concatenation jobs alone (forced rerun
#            over the shards it built)
# each timed from a sync (so that no run pays for the writeback of the one
# before it), the median of RUNS runs; checks that the two results are byte
# for byte the same,
# and prints the disk the workflow's temporary FASTA pieces take (brisel-makedb
# split) and its shards.
#
#   [MOTIFS=patterns.txt CUTOFF=-2 RUNS=3 THREADS=N] bench/workflow.sh PROTEINS.fasta [SHARDS] [CORES]
#
# Needs the project's environment (make venv) and a build (make build).
set -euo pipefail
input=$(realpath "${1:?usage: workflow.sh PROTEINS.fasta [SHARDS] [CORES]}")
shards=${2:-4}
cores=${3:-2}
threads=${THREADS:-$cores}
here=$(cd "$(dirname "$0")/.." && pwd)
snakemake=$here/.venv/bin/snakemake
[ -x "$snakemake" ] || { echo "no $snakemake: run make venv" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$here/build/bin/brisel-search" "$work/bin/brisel-search"
ln -s "$here/build/bin/brisel-makedb" "$work/bin/brisel-makedb"
export PATH="$work/bin:$PATH"
cd "$work"

runs=${RUNS:-3}
seconds() {  # command...: runs it after a sync, prints its wall time
  local start end
  sync
  start=$(date +%s.%N)
  "$@"
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
median() {  # numbers...: their median
  printf "%s\n" "$@" | sort -n | sed -n "$((($# + 1) / 2))p"
}

motifs=$(realpath "${MOTIFS:-$here/data/site-patterns.txt}")
cutoff=${CUTOFF:-9}
run() {
  "$snakemake" -s "$here/workflow/Snakefile" --cores "$cores" --quiet "$@" \
    --config sequences="$input" motifs="$motifs" shards="$shards" cutoff="$cutoff" threads="$threads" \
    format=pipe out="$work/workflow.out" work="$work/run" > snakemake.log 2>&1
}
builds=() motif_builds=() searches=() workflows=() wsearches=()
for round in $(seq "$runs"); do
  rm -rf one-* sites-* run workflow.out .snakemake
  builds+=("$(seconds brisel-makedb sequences -q "$input" one)")
  motif_builds+=("$(seconds brisel-makedb motifs -q "$motifs" sites)")
  searches+=("$(seconds sh -c "brisel-search -j $cores -l -e $cutoff -m sites -s one > one.out 2> /dev/null")")
  workflows+=("$(seconds run)")
  cmp one.out workflow.out
  wsearches+=("$(seconds run --forcerun search_shard)")
  cmp one.out workflow.out
  echo "run $round: build ${builds[-1]} motifs ${motif_builds[-1]} search ${searches[-1]}" \
    "workflow ${workflows[-1]} wsearch ${wsearches[-1]}"
done
build=$(median "${builds[@]}") motif_build=$(median "${motif_builds[@]}")
search=$(median "${searches[@]}") workflow=$(median "${workflows[@]}")
wsearch=$(median "${wsearches[@]}")
brisel-makedb split -q --shards "$shards" "$input" pieces
pieces=$(du -cb pieces.*.fasta | tail -1 | cut -f1)
databases=$(du -sb run/sequences | cut -f1)

printf "build    %7.2f s  (one database; the motifs %.2f s more)\n" "$build" "$motif_build"
printf "search   %7.2f s  (brisel-search -j %s)\n" "$search" "$cores"
printf "workflow %7.2f s  (%s shards, --cores %s, threads %s, builds included)  %.2fx build+motifs+search\n" \
  "$workflow" "$shards" "$cores" "$threads" "$(echo "$workflow / ($build + $motif_build + $search)" | bc -l)"
printf "wsearch  %7.2f s  (the workflow's searches and concatenation)  %.2fx search\n" \
  "$wsearch" "$(echo "$wsearch / $search" | bc -l)"
echo "outputs identical: $(stat -c %s one.out) bytes"
echo "disk: input $(stat -c %s "$input") bytes, FASTA pieces $pieces bytes (temporary), shards $databases bytes"
