#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End to end: the Snakemake workflow over the sample data in 3 shards writes
# byte for byte the standard output of one search over one database, in every
# format; every shard of the manifest passes the database check of
# brisel-search; and the Slurm profile submits every rule through sbatch (a
# stand-in here that runs the job script at once) to the same result. Exit
# status 77 (skipped) when snakemake is not installed.
#
#   workflow_test.sh SOURCE_DIR SEARCH_BINARY MAKEDB_BINARY
set -euo pipefail
source_dir=$1 search=$2 makedb=$3
command -v snakemake > /dev/null || { echo "snakemake is not installed: skipped"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$search" "$work/bin/brisel-search"
ln -s "$makedb" "$work/bin/brisel-makedb"
export PATH="$work/bin:$PATH"
cd "$work"

sequences=$source_dir/data/swissprot-100.fasta
motifs=$source_dir/data/prosite-excerpt.dat
gzip -c "$sequences" > sequences.fa.gz
brisel-makedb sequences -q "$sequences" one
brisel-makedb motifs -q "$motifs" motifs

fail() { echo "FAIL: $*" >&2; exit 1; }

for format in pipe tsv gff3; do
  for cutoff in -2 9; do
    input=$sequences
    [ "$format" = tsv ] && input=$work/sequences.fa.gz
    snakemake -s "$source_dir/workflow/Snakefile" --cores 2 --quiet \
      --config sequences="$input" motifs="$motifs" shards=3 cutoff="$cutoff" threads=2 \
      format="$format" out="$work/out.$format.$cutoff" work="$work/run.$format.$cutoff" \
      > "snakemake.log" 2>&1 || { cat snakemake.log >&2; fail "snakemake ($format, -e $cutoff)"; }
    brisel-search -l -e "$cutoff" -F "$format" -m motifs -s one > "expected" 2> /dev/null
    [ -s expected ] || fail "the single search wrote nothing ($format, -e $cutoff)"
    cmp expected "out.$format.$cutoff" || fail "workflow output differs ($format, -e $cutoff)"
  done
done

# The Slurm profile, with a stand-in for sbatch that runs each job script.
cat > "$work/bin/sbatch" <<'SBATCH'
#!/bin/sh
for last; do :; done
sh "$last" > /dev/null 2>&1 &
echo "Submitted batch job $$"
SBATCH
chmod +x "$work/bin/sbatch"
snakemake -s "$source_dir/workflow/Snakefile" --profile "$source_dir/workflow/profiles/slurm" \
  --latency-wait 5 --config sequences="$sequences" motifs="$motifs" shards=2 \
  out="$work/out.slurm" work="$work/run.slurm" > snakemake.log 2>&1 ||
  { cat snakemake.log >&2; fail "snakemake with the Slurm profile"; }
brisel-search -l -F pipe -m motifs -s one > expected 2> /dev/null
cmp expected out.slurm || fail "the Slurm profile's output differs"

manifest=$work/run.pipe.-2/sequences.shards
[ "$(wc -l < "$manifest")" -eq 3 ] || fail "the manifest does not list 3 shards"
while read -r shard; do
  brisel-search -l -m motifs -s "$(dirname "$manifest")/$shard" > /dev/null 2> check.err ||
    { cat check.err >&2; fail "shard $shard fails the database check"; }
done < "$manifest"
echo "workflow output matches the single-database search in every format"
