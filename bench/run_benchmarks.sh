#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The search benchmark: whole-process runs of both searches against a baseline
# build from the repository's history (by default the last motif-by-motif
# implementation, before the multi-motif engine), on the same databases in the
# same run, with checks that every output byte agrees.
#
#   bench/run_benchmarks.sh [-f PROTEINS.fasta] [-n RUNS] [-m BASELINE_RUNS] [-c CASES] [-k] [-w DIR]
#
#   -f  the sequences (default: 20,000 generated ones, bench/generate_sequences.py);
#       for the real figures the 486,000 sequences of ../shared/data/prepare-proteins.sh
#   -n  runs of each case by the current build (default 3); the median is reported
#   -m  runs of each case by the baseline (default: as -n)
#   -c  the cases to run, in this order (default "indexed scan empty sites prosite startup")
#   -k  keep the work directory (databases, outputs)
#   -w  work directory (default: a new temporary one)
#
# Cases, each with its wall time (median), peak resident memory (all of it, and
# the part that is not mapped database pages), hit lines and output checksums:
#   indexed    20,000 generated motifs (bench/generate_motifs.py), default cut-off
#   scan       the same motifs over the same sequences as single-line FASTA (-b -f)
#   empty      the indexed search with a motif database of no motifs
#   sites      the site patterns of data/ at -e 9: every motif on every sequence
#   prosite    the PROSITE-like patterns of bench/prosite-like-patterns.txt (1,137
#              patterns, 4,034 motifs), default cut-off
#   startup    the motif index of the 20,000 motifs: build time and size
#              (build/bench/engine_profile; no baseline)
# The baseline is commit $BASELINE (set BASELINE=commit to choose another). With a
# baseline, each case but empty then also runs once in -F tsv and once in -F gff3 in
# both builds, and the two streams of every run must be the baseline's byte for byte.
# THREADS=N gives both builds -j N (the one-thread figures: THREADS=1; pinning the
# script with taskset instead would share the CPU with its memory sampling).
set -euo pipefail
BASELINE=${BASELINE:-07d6a35}
here=$(cd "$(dirname "$0")/.." && pwd)
input= runs=3 baseline_runs= keep=0 work= selected="indexed scan empty sites prosite startup"
while getopts "f:n:m:c:kw:" option; do
  case $option in
    f) input=$(realpath "$OPTARG") ;;
    n) runs=$OPTARG ;;
    m) baseline_runs=$OPTARG ;;
    c) selected=$OPTARG ;;
    k) keep=1 ;;
    w) work=$OPTARG ;;
    *) sed -n '3,33p' "$0"; exit 2 ;;
  esac
done
baseline_runs=${baseline_runs:-$runs}
if [ -z "$work" ]; then work=$(mktemp -d); fi
mkdir -p "$work"
work=$(realpath "$work")
[ "$keep" = 1 ] || trap 'rm -rf "$work"' EXIT

make -C "$here" build > "$work/build.log" 2>&1 || { cat "$work/build.log"; exit 1; }
search=$here/build/bin/brisel-search
makedb=$here/build/bin/brisel-makedb

baseline=
if git -C "$here" cat-file -e "$BASELINE^{commit}" 2>/dev/null; then
  # Builds before the libraries moved into rooms wrote the program beside its
  # sources; later ones write it to bin/.
  baseline_program() {
    for p in "$work/baseline/build/bin/brisel-search" \
             "$work/baseline/build/src/brisel-search/brisel-search"; do
      [ -x "$p" ] && { echo "$p"; return; }
    done
  }
  if [ -z "$(baseline_program)" ]; then
    mkdir -p "$work/baseline/src"
    git -C "$here" archive "$BASELINE" | tar -x -C "$work/baseline/src"
    cmake -S "$work/baseline/src" -B "$work/baseline/build" -DBUILD_TESTING=OFF \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo > "$work/baseline.log" 2>&1
    cmake --build "$work/baseline/build" -j 2 --target brisel-search >> "$work/baseline.log" 2>&1
  fi
  baseline=$(baseline_program)
else
  echo "baseline commit $BASELINE is not in this repository's history: no baseline runs"
fi

# Inputs and databases.
if [ -z "$input" ]; then
  input=$work/generated.fasta
  [ -s "$input" ] || python3 "$here/bench/generate_sequences.py" 20000 > "$input"
fi
awk '/^>/ { if (seq != "") print seq; print; seq = ""; next } { seq = seq $0 } END { if (seq != "") print seq }' \
  "$input" > "$work/single-line.fasta"
python3 "$here/bench/generate_motifs.py" "$input" 20000 > "$work/motifs.txt"
: > "$work/no-motifs.txt"
"$makedb" sequences -q "$input" "$work/sequences"
"$makedb" motifs -q "$work/motifs.txt" "$work/generated"
"$makedb" motifs -q "$work/no-motifs.txt" "$work/empty"
"$makedb" motifs -q "$here/data/site-patterns.txt" "$work/sites"
"$makedb" motifs -q "$here/bench/prosite-like-patterns.txt" "$work/prosite" 2> "$work/prosite.log"
echo "sequences: $(grep -c '>' "$input") from $input; motifs: 20000 generated"

# Runs `binary args...` once; appends "seconds peak_kib anon_kib" to $work/$name.times
# and keeps its standard output and error of the first run.
measure() {
  local name=$1; shift
  local out=$work/$name.out err=$work/$name.err
  [ -e "$out" ] && { out=/dev/null; err=/dev/null; }
  local start=$EPOCHREALTIME peak=0 anon=0
  "$@" > "$out" 2> "$err" &
  local pid=$!
  while kill -0 "$pid" 2> /dev/null; do
    local status
    status=$(cat "/proc/$pid/status" 2> /dev/null) || break
    local hwm a
    hwm=$(awk '/^VmHWM/ { print $2 }' <<< "$status")
    a=$(awk '/^RssAnon/ { print $2 }' <<< "$status")
    [ -n "$hwm" ] && [ "$hwm" -gt "$peak" ] && peak=$hwm
    [ -n "$a" ] && [ "$a" -gt "$anon" ] && anon=$a
    sleep 0.02
  done
  wait "$pid" || { echo "$name failed: $(tail -c 300 "$err")"; exit 1; }
  local end=$EPOCHREALTIME
  echo "$(echo "$end - $start" | bc -l) $peak $anon" >> "$work/$name.times"
}

run_case() {  # case name, runs, binary, args...
  local name=$1 count=$2; shift 2
  rm -f "$work/$name.times" "$work/$name.out" "$work/$name.err" "$work/$name.median"
  for ((i = 0; i < count; i++)); do measure "$name" "$@"; done
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

report() {  # case name
  local name=$1 times=$work/$1.times
  local seconds peak anon hits sum
  seconds=$(cut -d' ' -f1 "$times" | median)
  peak=$(cut -d' ' -f2 "$times" | sort -n | tail -1)
  anon=$(cut -d' ' -f3 "$times" | sort -n | tail -1)
  hits=$(grep -vc '^>' "$work/$name.out" || true)
  sum=$(cat "$work/$name.out" "$work/$name.err" | sha256sum | cut -c1-16)
  printf '%-18s %9.2f s %9.1f MiB %7.1f MiB %9s  %s\n' "$name" "$seconds" \
    "$(echo "$peak / 1024" | bc -l)" "$(echo "$anon / 1024" | bc -l)" "$hits" "$sum"
  echo "$seconds" > "$work/$name.median"
}

read -ra cases <<< "$selected"
# THREADS=N runs both builds with -j N (the baseline must know -j); unset,
# each uses its default, every CPU it may use.
threads=${THREADS:+-j $THREADS}
declare -A arguments=(
  [indexed]="-l $threads -m $work/generated -s $work/sequences"
  [scan]="-l $threads -b -f -m $work/generated -s $work/single-line.fasta"
  [empty]="-l $threads -m $work/empty -s $work/sequences"
  [sites]="-l $threads -e 9 -m $work/sites -s $work/sequences"
  [prosite]="-l $threads -m $work/prosite -s $work/sequences"
)
for name in "${cases[@]}"; do
  if [ "$name" = startup ]; then
    "$here/build/bench/engine_profile" "$work/generated" "$work/sequences" -2 --index-only \
      > "$work/startup.txt"
    continue
  fi
  # shellcheck disable=SC2086
  run_case "$name" "$runs" "$search" ${arguments[$name]}
  if [ -n "$baseline" ] && [ "$name" != empty ]; then
    # shellcheck disable=SC2086
    run_case "$name-baseline" "$baseline_runs" "$baseline" ${arguments[$name]}
  fi
done

printf '\n%-18s %11s %13s %11s %9s  %s\n' case "wall (med)" "peak memory" "not mapped" "hits" \
  "sha256(out+err)"
for name in "${cases[@]}"; do
  [ "$name" = startup ] && continue
  report "$name"
  [ -e "$work/$name-baseline.times" ] && report "$name-baseline"
done

echo
ratio() { echo "$(cat "$work/$1.median") / $(cat "$work/$2.median")" | bc -l; }
identical() { cmp -s "$work/$1.out" "$work/$2.out" && cmp -s "$work/$1.err" "$work/$2.err"; }
status=0
has() { [ -e "$work/$1.median" ]; }
if [ -n "$baseline" ]; then
  # The targets of the engine's work against its baseline: the first engine
  # against the last motif-by-motif build, the second pass against the build
  # before it.
  if [ "$(git -C "$here" rev-parse "$BASELINE^{commit}")" = "$(git -C "$here" rev-parse "landed-18^{commit}" 2> /dev/null)" ]; then
    declare -A targets=([indexed]="1 (no slower)" [scan]="1 (no slower)" [sites]=1.8 [prosite]=4)
  else
    declare -A targets=([indexed]=20 [scan]=20 [sites]=2.5 [prosite]="-")
  fi
  for name in indexed scan sites prosite; do
    has "$name" && has "$name-baseline" || continue
    if identical "$name" "$name-baseline"; then same="identical output"; else same="OUTPUT DIFFERS"; status=1; fi
    printf '%-8s baseline / current = %6.2f (target at least %s), %s\n' "$name" \
      "$(ratio "$name-baseline" "$name")" "${targets[$name]}" "$same"
  done
fi
if has empty && has indexed; then
  printf 'empty    empty / indexed      = %6.4f\n' "$(ratio empty indexed)"
fi
if [ -e "$work/startup.txt" ]; then
  echo "startup  $(grep '^index:' "$work/startup.txt") (target at most 0.2 s and 64 MiB)"
fi

# Every case in the other formats, once by each build: both streams compared
# through their checksums (a tsv or gff3 output of the site patterns is over a
# gigabyte).
streams() {  # binary args... : "sha256(out) sha256(err)"
  local err=$work/format.err
  "$@" 2> "$err" | sha256sum | cut -c1-64 | tr '\n' ' '
  sha256sum < "$err" | cut -c1-64
}
if [ -n "$baseline" ] && ! "$baseline" -F tsv -l -m "$work/empty" -s "$work/sequences" > /dev/null 2>&1; then
  echo "the baseline has no -F: the other formats are not compared"
elif [ -n "$baseline" ]; then
  for name in "${cases[@]}"; do
    case $name in empty | startup) continue ;; esac
    for format in tsv gff3; do
      # shellcheck disable=SC2086
      current=$(streams "$search" -F "$format" ${arguments[$name]})
      # shellcheck disable=SC2086
      old=$(streams "$baseline" -F "$format" ${arguments[$name]})
      if [ "$current" = "$old" ]; then same="identical output"; else same="OUTPUT DIFFERS"; status=1; fi
      printf '%-8s -F %-4s %s\n' "$name" "$format" "$same"
    done
  done
fi
exit $status
