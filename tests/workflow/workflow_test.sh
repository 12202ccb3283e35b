#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End to end: the Snakemake workflow run locally (--cores 2) with the project
# environment's Snakemake.
# - Over the sample data in 3 shards it writes byte for byte the standard
#   output of one search over one database, in every format, from plain and
#   gzip input; the shards and manifest it builds one job per shard are byte for
#   byte those of brisel-makedb sequences --shards 3.
# - A changed setting redoes exactly what depends on it and never reuses what
#   another setting made, with or without Snakemake's own records.
# - An input replaced by other content with an older modification time (as
#   cp -p, rsync -a or tar x leave it) is noticed: what depends on it is
#   redone.
# - A bad setting stops the run, before any job, with one line naming the key
#   (an `out` that is the work directory or a directory, more shards than
#   sequences included).
# - translate=true searches the pieces of a nucleotide FASTA as they are and
#   writes the single translated search's output.
# - A search job that fails (a damaged shard) fails the run and leaves no
#   output and no partial file.
# Exit status 77 (skipped) when the environment has no snakemake.
#
#   workflow_test.sh SOURCE_DIR SEARCH_BINARY MAKEDB_BINARY VENV
set -euo pipefail
source_dir=$1 search=$2 makedb=$3 venv=$4
[ -x "$venv/bin/snakemake" ] ||
  { echo "SKIPPED: no snakemake in $venv (make venv installs it)"; exit 77; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$search" "$work/bin/brisel-search"
ln -s "$makedb" "$work/bin/brisel-makedb"
export PATH="$work/bin:$PATH"
cd "$work"

fail() { echo "FAIL: $*" >&2; exit 1; }
workflow() {  # key=value...: runs the workflow, its log in snakemake.log
  "$venv/bin/snakemake" -s "$source_dir/workflow/Snakefile" --cores 2 --config "$@" \
    > snakemake.log 2>&1
}
run() {  # key=value...: runs the workflow, which must succeed
  workflow "$@" || { cat snakemake.log >&2; fail "snakemake $*"; }
}
expect() {  # FORMAT CUTOFF FILE: FILE is the single search's output
  brisel-search -l -e "$2" -F "$1" -m motifs -s one > expected 2> /dev/null
  [ -s expected ] || fail "the single search wrote nothing ($1, -e $2)"
  cmp expected "$3" || fail "$3 differs from the single search ($1, -e $2)"
}

sequences=$source_dir/data/swissprot-100.fasta
motifs=$source_dir/data/prosite-excerpt.dat
gzip -c "$sequences" > sequences.fa.gz
brisel-makedb sequences -q "$sequences" one
brisel-makedb motifs -q "$motifs" motifs

# Every format, each in a work directory of its own (more cut-offs below).
for case in pipe:-2 tsv:9 gff3:9; do
  format=${case%:*} cutoff=${case#*:}
  input=$sequences
  [ "$format" = tsv ] && input=$work/sequences.fa.gz
  run sequences="$input" motifs="$motifs" shards=3 cutoff="$cutoff" threads=2 \
    format="$format" out="$work/out.$format.$cutoff" work="$work/run.$format.$cutoff"
  expect "$format" "$cutoff" "out.$format.$cutoff"
done

# The shards, built one job each, are those of one sharded build.
mkdir sharded
brisel-makedb sequences -q --shards 3 "$sequences" sharded/sequences
built=$(dirname "$(find run.pipe.-2/sequences -name sequences.shards)")
diff -r sharded "$built" || fail "the shards differ from those of one sharded build"
[ -z "$(find run.pipe.-2 -name '*.fasta' -o -name 'hits.*' -o -name '*partial*')" ] ||
  fail "pieces, shard outputs or partial files left in the work directory"

# Changed settings in one work directory, as a user reruns it: each run must
# give the single search's output, and change no file it does not depend on.
settings=(sequences="$sequences" motifs="$motifs" out="$work/changing.out" work="$work/changing")
stamps() { find changing/sequences changing/motifs -type f -printf '%p %T@\n' | sort; }
run "${settings[@]}" shards=5 format=pipe cutoff=-2
expect pipe -2 changing.out
run "${settings[@]}" shards=3 format=pipe cutoff=-2
expect pipe -2 changing.out
stamps > before
run "${settings[@]}" shards=3 format=tsv cutoff=-2
expect tsv -2 changing.out
run "${settings[@]}" shards=3 format=tsv cutoff=9
expect tsv 9 changing.out
stamps | cmp -s before - || fail "a new format or cut-off rebuilt a database"
run "${settings[@]}" shards=3 format=pipe cutoff=-2
expect pipe -2 changing.out
rm -rf .snakemake  # Snakemake's own records lost: the paths still tell
run "${settings[@]}" shards=3 format=gff3 cutoff=0
expect gff3 0 changing.out
rm -rf .snakemake
run "${settings[@]}" shards=5 format=pipe cutoff=-2
expect pipe -2 changing.out
run "${settings[@]}" shards=5 format=pipe cutoff=-2
grep -q "Nothing to be done" snakemake.log || fail "a rerun of the same settings did work again"

# Inputs replaced by other content, their modification times set back: the
# shards, the motifs and the output are redone from the new content.
cp "$sequences" changed.fa
cp "$motifs" changed.dat
changed=(sequences="$work/changed.fa" motifs="$work/changed.dat" shards=3 out="$work/changed.out"
  work="$work/changed")
run "${changed[@]}"
head -n 400 "$sequences" > changed.fa
printf 'C-x(2)-C\tPS99999 CC\n' > changed.dat
touch -d '2001-01-01' changed.fa changed.dat
run "${changed[@]}"
brisel-makedb sequences -q changed.fa changed-one
brisel-makedb motifs -q changed.dat changed-motifs
brisel-search -l -m changed-motifs -s changed-one > expected 2> /dev/null
cmp expected changed.out || fail "an input changed with an older time was not noticed"

# Bad settings: one line naming the key, before any job (no work directory).
bad() {  # EXPECTED-MESSAGE key=value...
  local message=$1
  shift
  if workflow sequences="$sequences" motifs="$motifs" out="$work/bad.out" work="$work/bad" "$@"; then
    fail "snakemake accepted $*"
  fi
  grep -qxF "brisel workflow: config key $message" snakemake.log ||
    { cat snakemake.log >&2; fail "no message \"config key $message\" for $*"; }
  [ ! -e bad ] && [ ! -e bad.out ] || fail "a job ran for $*"
}
bad "'cutoff': must be a whole number, not 'abc'" cutoff=abc
bad "'cutoff': must be a whole number, not '1.5'" cutoff=1.5
bad "'shards': must be from 1 to 1000000, not 0" shards=0
bad "'shards': must be a whole number, not 'five'" shards=five
bad "'threads': must be from 1 to 4096, not 5000" threads=5000
bad "'format': must be pipe, tsv, gff3 or bed, not 'csv'" format=csv
bad "'shard': unknown (the settings are sequences, motifs, shards, cutoff, threads, format, out, work, translate, table, frames, min_length)" shard=3
bad "'sequences': '$work/missing.fa' is not a file" sequences="$work/missing.fa"
bad "'out': '$motifs' is the motifs file" out="$motifs"
bad "'work': is empty" work=
bad "'out': '$work/bad' is the work directory" out="$work/bad"
bad "'out': '$work' is a directory" out="$work"
bad "'shards': must be at most the 100 sequences of '$sequences', not 101" shards=101
gzip -c "$sequences" > bad-shards.fa.gz
bad "'shards': must be at most the 100 sequences of '$work/bad-shards.fa.gz', not 500" \
  sequences="$work/bad-shards.fa.gz" shards=500

# The translated search: the lambda genome cut into five records, in three
# pieces, gives the single translated search's bytes.
awk 'NR == 1 { next } { line[n++] = $0 }
     END { for (i = 0; i < n; i++) { if (i % 170 == 0) print ">part" i / 170 + 1 " of lambda"; print line[i] } }' \
  "$source_dir/data/lambda-phage.fasta" > genome.fa
sites=$source_dir/data/site-patterns.txt
brisel-makedb motifs -q "$sites" sites
for format in pipe gff3 bed; do
  run sequences="$work/genome.fa" motifs="$sites" shards=3 cutoff=9 threads=2 format="$format" \
    translate=true table=11 frames=1,-2 out="$work/translated.$format" work="$work/translated"
  brisel-search -l -m sites -e 9 -F "$format" --fasta genome.fa --translate --table 11 \
    --frames 1,-2 > expected 2> /dev/null
  [ -s expected ] || fail "the single translated search wrote nothing ($format)"
  cmp expected "translated.$format" || fail "the translated run differs ($format)"
done
bad "'table': --table: '7' is not a genetic code: NCBI's translation tables are 1, 2, 3, 4, 5, 6, 9, 10, 11, 12, 13, 14, 15, 16, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33" translate=true table=7
bad "'translate': must be true or false, not 'maybe'" translate=maybe

# A search job that fails: a damaged shard fails the run; no output, and no
# partial file anywhere.
run sequences="$sequences" motifs="$motifs" shards=3 out="$work/damaged.out" work="$work/damaged"
rm damaged.out
offsets=$(find damaged/sequences -name 'sequences.2-offsets.bin')
truncate -s 100 "$offsets"
if workflow sequences="$sequences" motifs="$motifs" shards=3 out="$work/damaged.out" \
  work="$work/damaged"; then
  fail "the run with a damaged shard succeeded"
fi
grep -q "Error in rule search_shard" snakemake.log || { cat snakemake.log >&2; fail "no failed search"; }
[ ! -e damaged.out ] || fail "a failed search left an output"
[ -z "$(find . -name '*partial*')" ] || fail "a partial file was left"
echo "workflow output matches the single-database search in every format, whatever settings changed, and the single translated search"
