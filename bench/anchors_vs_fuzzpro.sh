#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# brisel's anchored patterns against EMBOSS fuzzpro, run as a black box on the
# same sequences: which hits both report, which only one, and why.
#
#   bench/anchors_vs_fuzzpro.sh [-f PROTEINS.fasta] [-n SEQUENCES] [-k] [-w DIR]
#
#   -f  the sequences (default /work/benchdata/proteins.fasta, the 486,000 real
#       ones of ../shared/data/prepare-proteins.sh)
#   -n  how many of them, from the first (default 20000)
#   -k  keep the work directory
#   -w  work directory (default: a new temporary one)
#
# Patterns (PROSITE syntax, written out here):
#   PS00014  [KRHQSA]-[DENQ]-E-L>        ER retention signal (KDEL), C-terminal
#   PS00342  [STAGCN]-[RKH]-[LIVMAFY]>   peroxisomal targeting signal 1, C-terminal
#   NTERM_C  <x(0,11)-C-x(2)-[DE]        made up: a leading range at the N-terminus
#   NTERM_MK <M-[KR]-x(0,2)-[ST]         made up: a short N-terminal one with a range
# brisel: one indexed search at -e 9, so that every motif is tried on every
# sequence. fuzzpro: one run per pattern (-sformat1 pearson, so that the id is
# the name line's first word; -rformat excel). The hits are compared as sets of
# (id, pattern, start, end). A difference is explained when:
#   other end   brisel reports a further end at a start where fuzzpro reports
#               one: a pattern with a range is one motif per choice in brisel,
#               and fuzzpro reports one match per start.
# Exits 1 when a difference is left unexplained. Installs Debian's emboss when
# fuzzpro is missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
input=/work/benchdata/proteins.fasta count=20000 keep=0 work=''
while getopts "f:n:kw:" option; do
  case $option in
    f) input=$(realpath "$OPTARG") ;;
    n) count=$OPTARG ;;
    k) keep=1 ;;
    w) work=$OPTARG ;;
    *) sed -n '3,28p' "$0"; exit 2 ;;
  esac
done
if [ -z "$work" ]; then work=$(mktemp -d); fi
mkdir -p "$work"
work=$(realpath "$work")
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT

if ! command -v fuzzpro > /dev/null; then
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq emboss; } \
    > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
fi
make -C "$here" build > "$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
search=$here/build/bin/brisel-search
makedb=$here/build/bin/brisel-makedb

cat > "$work/patterns.txt" << 'EOF'
[KRHQSA]-[DENQ]-E-L>	PS00014 ER_TARGET
[STAGCN]-[RKH]-[LIVMAFY]>	PS00342 MICROBODIES_CTER
<x(0,11)-C-x(2)-[DE]	NTERM_C made up
<M-[KR]-x(0,2)-[ST]	NTERM_MK made up
EOF
awk -v n="$count" '/^>/ { if (++records > n) exit } { print }' "$input" > "$work/sequences.fa"
"$makedb" sequences -q "$work/sequences.fa" "$work/sequences"
"$makedb" motifs -q "$work/patterns.txt" "$work/anchored"
echo "sequences: $(grep -c '>' "$work/sequences.fa") of $input;" \
  "motifs: $(head -1 "$work/anchored-stats") from $(grep -c . "$work/patterns.txt") patterns"

start=$EPOCHREALTIME
"$search" -l -e 9 -m "$work/anchored" -s "$work/sequences" > "$work/brisel.out" 2> /dev/null
brisel_seconds=$(echo "$EPOCHREALTIME - $start" | bc -l)

start=$EPOCHREALTIME
while IFS=$'\t' read -r pattern record; do
  accession=${record%% *}
  fuzzpro -sequence "$work/sequences.fa" -sformat1 pearson -pattern "$pattern" \
    -pname "$accession" -rformat excel -outfile "$work/$accession.xls" -auto 2> /dev/null
done < "$work/patterns.txt"
fuzzpro_seconds=$(echo "$EPOCHREALTIME - $start" | bc -l)
printf 'wall: brisel %.2f s (one search), fuzzpro %.2f s (%d runs)\n\n' \
  "$brisel_seconds" "$fuzzpro_seconds" "$(grep -c . "$work/patterns.txt")"

# The hits as "id<TAB>accession<TAB>start<TAB>end".
awk -F'|' '/^>/ { split(substr($0, 2), words, " "); id = words[1]; next }
           { split($4, record, " "); print id "\t" record[1] "\t" $6 "\t" $7 }' \
  "$work/brisel.out" | LC_ALL=C sort -u > "$work/brisel.tsv"
cat "$work"/*.xls | awk -F'\t' '$1 != "SeqName" {
    split($6, pattern, ":"); print $1 "\t" pattern[1] "\t" $2 "\t" $3 }' |
  LC_ALL=C sort -u > "$work/fuzzpro.tsv"

python3 - "$work/patterns.txt" "$work/brisel.tsv" "$work/fuzzpro.tsv" << 'EOF'
import collections
import sys

patterns_path, brisel_path, fuzzpro_path = sys.argv[1:]
accessions = [line.split("\t")[1].split()[0] for line in open(patterns_path) if line.strip()]


def read(path):
    hits = set()
    for line in open(path):
        ident, accession, start, end = line.rstrip("\n").split("\t")
        hits.add((ident, accession, int(start), int(end)))
    return hits


brisel, fuzzpro = read(brisel_path), read(fuzzpro_path)
fuzzpro_starts = {(i, a, s) for i, a, s, _ in fuzzpro}
rows = collections.defaultdict(lambda: collections.Counter())
for hit in brisel & fuzzpro:
    rows[hit[1]]["both"] += 1
for hit in brisel - fuzzpro:
    rows[hit[1]]["only brisel"] += 1
    if hit[:3] in fuzzpro_starts:
        rows[hit[1]]["explained"] += 1
for hit in fuzzpro - brisel:
    rows[hit[1]]["only fuzzpro"] += 1

print(f"{'pattern':10} {'both':>7} {'only brisel':>12} {'only fuzzpro':>13} {'explained':>10}")
unexplained = 0
for accession in accessions:
    row = rows[accession]
    print(f"{accession:10} {row['both']:7} {row['only brisel']:12} {row['only fuzzpro']:13} "
          f"{row['explained']:10}")
    unexplained += row["only brisel"] - row["explained"] + row["only fuzzpro"]
print("explained: further ends of a pattern with a range at a start where fuzzpro reports one "
      "(brisel: one motif per choice of the range)")
if unexplained:
    print(f"anchors vs fuzzpro: {unexplained} differences UNEXPLAINED")
    sys.exit(1)
print("anchors vs fuzzpro: the hits agree apart from the explained differences")
EOF
