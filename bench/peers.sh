#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# brisel against two other motif-search programs on the same sequences and the
# same 16 site patterns: EMBOSS fuzzpro and seqkit locate, timed, and their
# hits compared with brisel's.
#
#   bench/peers.sh [-f PROTEINS.fasta] [-z] [-k] [-w DIR]
#
#   -f  the sequences (default: 20,000 generated ones, bench/generate_sequences.py);
#       for the real figures the 486,000 sequences of ../shared/data/prepare-proteins.sh
#   -z  every program reads the sequences from one gzip file (gzip -6): brisel
#       searches it directly (--fasta, no sequence database), fuzzpro reads it
#       through gzip -dc (it reads no gzip itself), seqkit as it is
#   -k  keep the work directory (databases, outputs)
#   -w  work directory (default: a new temporary one)
#
# Each program runs once on the two cores, as a user would run it, with its wall
# time and peak resident memory (GNU time):
#   brisel   the indexed search at -e 9 with the patterns of data/site-patterns.txt
#            (every motif on every sequence), -j 2; databases built beforehand, not
#            timed (with -z: the direct search of the gzip file, the motif database
#            built beforehand); then once more with -j 1, for the ratios per core
#   fuzzpro  one run per pattern (PROSITE syntax as it is, -rformat excel), two runs
#            at a time; the wall time of all 16, the largest peak
#   seqkit   one run of seqkit locate -r -j 2 with the patterns as regular
#            expressions (bench/compare_peer_hits.py regexes)
# Then the hits are compared as sets of (sequence id, start, end, pattern
# accession), the id being the first word of the name line
# (bench/compare_peer_hits.py compare), with the differences that a named
# definition difference explains counted apart, and the ratios of the targets
# are printed. Installs Debian's emboss, seqkit and time when missing. Exits 1
# when a difference in the hits is left unexplained.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
input='' keep=0 work='' gzipped=0
while getopts "f:kw:z" option; do
  case $option in
    f) input=$(realpath "$OPTARG") ;;
    k) keep=1 ;;
    w) work=$OPTARG ;;
    z) gzipped=1 ;;
    *) sed -n '3,32p' "$0"; exit 2 ;;
  esac
done
if [ -z "$work" ]; then work=$(mktemp -d); fi
mkdir -p "$work"
work=$(realpath "$work")
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT

missing=()
command -v fuzzpro > /dev/null || missing+=(emboss)
command -v seqkit > /dev/null || missing+=(seqkit)
[ -x /usr/bin/time ] || missing+=(time)
if [ ${#missing[@]} -gt 0 ]; then
  { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"; } \
    > "$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }
fi

make -C "$here" build > "$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
search=$here/build/bin/brisel-search
makedb=$here/build/bin/brisel-makedb
helper=$here/bench/compare_peer_hits.py
export PYTHONDONTWRITEBYTECODE=1  # the helper imports check_site_hits.py: no __pycache__ in bench/
patterns=$here/data/site-patterns.txt

# Inputs and databases.
if [ -z "$input" ]; then
  input=$work/generated.fasta
  [ -s "$input" ] || python3 "$here/bench/generate_sequences.py" 20000 > "$input"
fi
# What each program reads: the FASTA file (brisel: its database), or with -z
# one gzip file.
if [ "$gzipped" = 1 ]; then
  sequences=$work/sequences.fa.gz
  gzip -6 -c "$input" > "$sequences"
  brisel_sequences=(--fasta "$sequences")
  fuzzpro_sequences=(bash -c 'gzip -dc "$0" | fuzzpro -sequence stdin "$@"' "$sequences")
else
  sequences=$input
  "$makedb" sequences -q "$input" "$work/sequences"
  brisel_sequences=(-s "$work/sequences")
  fuzzpro_sequences=(fuzzpro -sequence "$input")
fi
"$makedb" motifs -q "$patterns" "$work/sites"
python3 "$helper" regexes "$patterns" > "$work/regexes.fa"
echo "sequences: $(grep -c '>' "$input") from $input; patterns: $(grep -c '>' "$work/regexes.fa")"
[ "$gzipped" = 0 ] || echo "read by every program from $sequences; brisel: the direct search"

# Runs `command...` once with standard output to $2 and error to $3; appends
# "seconds peak_kib" to $work/$1.times.
measure() {
  local name=$1 out=$2 err=$3; shift 3
  local start=$EPOCHREALTIME
  /usr/bin/time -f "%M" -o "$work/time" "$@" < /dev/null > "$out" 2> "$err" \
    || { echo "$name failed: $(tail -c 300 "$err")"; exit 1; }
  local end=$EPOCHREALTIME
  echo "$(echo "$end - $start" | bc -l) $(tail -1 "$work/time")" >> "$work/$name.times"
}
warm() { cat "$@" > /dev/null; }  # every program reads its input from the page cache
rm -f "$work"/*.times

warm "$sequences" "$work"/sites-*
[ "$gzipped" = 1 ] || warm "$work"/sequences-*
measure brisel "$work/brisel.out" "$work/brisel.err" \
  "$search" -j 2 -l -e 9 -m "$work/sites" "${brisel_sequences[@]}"
warm "$sequences" "$work"/sites-*
[ "$gzipped" = 1 ] || warm "$work"/sequences-*
measure brisel1 /dev/null /dev/null \
  "$search" -j 1 -l -e 9 -m "$work/sites" "${brisel_sequences[@]}"

# fuzzpro reads FASTA as pearson so that the id is the name line's first word
# (its default FASTA reading takes the id out of "db|accession|name" names).
# Two streams of runs, every other pattern each, one per core; "seconds
# peak_kib" of the whole into fuzzpro.times.
fuzzpro_stream() {  # 0 or 1
  local i=0
  while read -r pattern record; do
    case $pattern in '' | '#'*) continue ;; esac
    [ $((i++ % 2)) = "$1" ] || continue
    accession=${record%% *}
    /usr/bin/time -f "%M" -o "$work/fuzzpro/$accession.time" \
      "${fuzzpro_sequences[@]}" -sformat1 pearson -pattern "$pattern" -pname "$accession" \
      -rformat excel -outfile "$work/fuzzpro/$accession.xls" -auto \
      < /dev/null > "$work/fuzzpro/$accession.out" 2> "$work/fuzzpro/$accession.err" \
      || { echo "fuzzpro failed: $(tail -c 300 "$work/fuzzpro/$accession.err")"; return 1; }
  done < "$patterns"
}
warm "$sequences"
mkdir -p "$work/fuzzpro"
start=$EPOCHREALTIME
fuzzpro_stream 0 &
first=$!
fuzzpro_stream 1 || exit 1
wait "$first" || exit 1
end=$EPOCHREALTIME
echo "$(echo "$end - $start" | bc -l) $(cat "$work"/fuzzpro/*.time | sort -n | tail -1)" \
  > "$work/fuzzpro.times"

# -t protein: no guessing of the alphabet; -P: the given strand only.
warm "$sequences"
measure seqkit "$work/seqkit.out" "$work/seqkit.err" \
  seqkit locate -t protein -P -r -j 2 -f "$work/regexes.fa" "$sequences"

# The hits as "id<TAB>accession<TAB>start<TAB>end", distinct and sorted.
distinct() { LC_ALL=C sort -u -S 20% --parallel=2 -T "$work"; }
awk -F'|' '/^>/ { split(substr($0, 2), words, " "); id = words[1]; next }
           { split($4, record, " "); print id "\t" record[1] "\t" $6 "\t" $7 }' \
  "$work/brisel.out" | distinct > "$work/brisel.tsv"
awk -F'\t' '$1 != "SeqName" { split($6, pattern, ":"); print $1 "\t" pattern[1] "\t" $2 "\t" $3 }' \
  "$work"/fuzzpro/*.xls | distinct > "$work/fuzzpro.tsv"
awk -F'\t' 'NR > 1 { print $1 "\t" $2 "\t" $5 "\t" $6 }' "$work/seqkit.out" | distinct > "$work/seqkit.tsv"

lines() { wc -l < "$1"; }
declare -A hit_lines=(
  [brisel]=$(grep -vc '^>' "$work/brisel.out" || true)
  [fuzzpro]=$(cat "$work"/fuzzpro/*.xls | grep -vc '^SeqName' || true)
  [seqkit]=$(($(lines "$work/seqkit.out") - 1))
)
printf '\n%-8s %10s %12s %11s %9s\n' program "wall" "peak memory" "hit lines" distinct
for name in brisel fuzzpro seqkit; do
  seconds=$(awk '{ s += $1 } END { print s }' "$work/$name.times")
  peak=$(awk '$2 > m { m = $2 } END { print m }' "$work/$name.times")
  echo "$seconds" > "$work/$name.seconds"
  printf '%-8s %8.3f s %8.1f MiB %11s %9s\n' "$name" "$seconds" "$(echo "$peak / 1024" | bc -l)" \
    "${hit_lines[$name]}" "$(lines "$work/$name.tsv")"
done
echo "(every program on the two cores; fuzzpro: 16 runs, two at a time, the largest peak;" \
  "brisel's peak counts the database pages it maps)"
brisel1=$(awk '{ s += $1 } END { print s }' "$work/brisel1.times")
echo "$brisel1" > "$work/brisel1.seconds"
printf 'brisel -j 1: %.3f s\n' "$brisel1"

echo
ratio() { echo "$(cat "$work/$1.seconds") / $(cat "$work/$2.seconds")" | bc -l; }
printf 'fuzzpro / brisel = %7.1f (target at least 30)\n' "$(ratio fuzzpro brisel)"
printf 'seqkit / brisel  = %7.1f (target at least 20)\n' "$(ratio seqkit brisel)"
printf 'per core, brisel on one core and the peers on two: fuzzpro %.1f, seqkit %.1f\n' \
  "$(echo "2 * $(ratio fuzzpro brisel1)" | bc -l)" "$(echo "2 * $(ratio seqkit brisel1)" | bc -l)"

status=0
for peer in fuzzpro seqkit; do
  echo
  python3 "$helper" compare "$patterns" "$input" "$work/brisel.tsv" "$peer" "$work/$peer.tsv" \
    || status=1
done
echo
if [ "$status" = 0 ]; then
  echo "peers: the hits agree apart from the named definition differences above"
else
  echo "peers: the hits differ UNEXPLAINED (see above)"
fi
exit $status
