#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Thread scaling of brisel-search: the same searches with -j 1 and -j N,
# alternating, timed with both streams to /dev/null; then one more run of
# each thread count with its streams kept, for its peak memory and for a
# byte-for-byte comparison of both streams with those of the first count.
#
#   bench/scaling.sh -w DIR [-n RUNS] [-c CASES] [-t "1 2"]
#
#   -w  a directory holding the databases as bench/run_benchmarks.sh -k leaves
#       them: motif roots generated and sites, sequence root sequences, and
#       single-line.fasta
#   -n  timed runs of each thread count (default 2)
#   -c  cases, in this order (default "sites indexed scan"):
#         indexed  20,000 generated motifs, default cut-off
#         sites    the site patterns at -e 9, every motif on every sequence
#         scan     the generated motifs over single-line.fasta (-b -f)
#   -t  thread counts (default "1 2"); the first is the reference
#
# Needs GNU time (/usr/bin/time). Builds nothing: run `make build` first.
# Exits 1 when any output differs from the reference's.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
data= runs=2 selected="sites indexed scan" counts="1 2"
while getopts "w:n:c:t:" option; do
  case $option in
    w) data=$(realpath "$OPTARG") ;;
    n) runs=$OPTARG ;;
    c) selected=$OPTARG ;;
    t) counts=$OPTARG ;;
    *) sed -n '3,22p' "$0"; exit 2 ;;
  esac
done
[ -n "$data" ] || { sed -n '3,22p' "$0"; exit 2; }
[ -x /usr/bin/time ] || { echo "GNU time is needed: apt-get install time" >&2; exit 2; }
search=$here/build/bin/brisel-search
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

declare -A arguments=(
  [indexed]="-l -m $data/generated -s $data/sequences"
  [sites]="-l -e 9 -m $data/sites -s $data/sequences"
  [scan]="-l -b -f -m $data/generated -s $data/single-line.fasta"
)

# One timed run, streams to /dev/null; prints "wall user sys".
timed() {
  /usr/bin/time -o "$scratch/time" -f '%e %U %S' "$search" "$@" > /dev/null 2> /dev/null ||
    { echo "brisel-search $* failed" >&2; exit 1; }
  cat "$scratch/time"
}

# One run with its streams kept; prints the peak of its resident memory that
# is not mapped files (RssAnon, MiB), sampled without starting processes.
kept() {  # out err args...
  local out=$1 err=$2 anon=0 line value
  shift 2
  "$search" "$@" > "$out" 2> "$err" &
  local pid=$!
  while [ -r "/proc/$pid/status" ]; do
    while read -r line; do
      case $line in
        RssAnon:*) value=${line//[!0-9]/}; [ "$value" -gt "$anon" ] && anon=$value ;;
      esac
    done < "/proc/$pid/status" 2> /dev/null || true
    sleep 0.2
  done
  wait "$pid" || { echo "brisel-search $* failed: $(tail -c 300 "$err")" >&2; exit 1; }
  printf '%.1f\n' "$(echo "$anon / 1024" | bc -l)"
}

read -ra threadCounts <<< "$counts"
reference=${threadCounts[0]}
status=0
printf '%-8s %5s %4s %9s %9s %9s\n' case "-j" run wall user sys
for name in $selected; do
  declare -A total=()
  for ((run = 1; run <= runs; run++)); do
    for n in "${threadCounts[@]}"; do
      # shellcheck disable=SC2086
      read -r wall user sys < <(timed -j "$n" ${arguments[$name]})
      total[$n]=$(echo "${total[$n]:-0} + $wall" | bc -l)
      printf '%-8s %5s %4s %7s s %7s s %7s s\n' "$name" "$n" "$run" "$wall" "$user" "$sys"
    done
  done
  for n in "${threadCounts[@]}"; do
    # shellcheck disable=SC2086
    anon=$(kept "$scratch/$n.out" "$scratch/$n.err" -j "$n" ${arguments[$name]})
    if [ "$n" = "$reference" ]; then
      same="(reference)"
    elif cmp -s "$scratch/$n.out" "$scratch/$reference.out" &&
         cmp -s "$scratch/$n.err" "$scratch/$reference.err"; then
      same="both streams identical to -j $reference"
    else
      same="OUTPUT DIFFERS from -j $reference"
      status=1
    fi
    printf '%-8s -j %-4s mean wall %7.2f s, speed-up %5.2f, not mapped %6s MiB, %s\n' "$name" "$n" \
      "$(echo "${total[$n]} / $runs" | bc -l)" \
      "$(echo "${total[$reference]} / ${total[$n]}" | bc -l)" "$anon" "$same"
  done
  rm -f "$scratch"/*.out "$scratch"/*.err
  unset total
done
exit $status
