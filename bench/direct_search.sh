#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The direct search (brisel-search --fasta) against the route it replaces:
# brisel-makedb sequences, then the indexed search of the database. Each on
# the same FASTA file, plain and gzip (gzip -6), with -j 2, for two motif sets:
#   sites    the 16 site patterns of data/site-patterns.txt at -e 9 (every
#            motif on every sequence)
#   prosite  the PROSITE-like set (1,137 patterns, about 4,000 motifs) at the
#            default cut-off
# The motif databases are built beforehand and not timed (the route and the
# direct search use the same ones); the direct search with --patterns instead,
# building its motifs in memory, is timed too. Then the cost of reading: the
# direct search with a motif database of no motifs, which does everything but
# match, over the file plain, gzip and zstd (zstd -3).
#
#   bench/direct_search.sh PROTEINS.fasta [RUNS]
#
# RUNS (default 3) alternating runs of everything; prints the median wall time
# and the largest peak resident memory (GNU time) of each, and the ratios. It
# fails unless the direct search writes both streams byte for byte as the
# route. Writeback is flushed before every timed run. PATTERNS=file chooses
# the PROSITE-like set (default bench/prosite-like-patterns.txt, else the
# shared data's copy). Builds nothing: run `make build` first.
set -euo pipefail
input=$(realpath "${1:?usage: direct_search.sh PROTEINS.fasta [RUNS]}")
runs=${2:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
search=$here/build/bin/brisel-search
makedb=$here/build/bin/brisel-makedb
prosite=${PATTERNS:-$here/bench/prosite-like-patterns.txt}
[ -f "$prosite" ] || prosite=$here/../shared/data/prosite-like-patterns.txt
sites=$here/data/site-patterns.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$input" "$work/in.plain"
gzip -6 -c "$input" > "$work/in.gzip"
zstd -q -3 -c "$input" > "$work/in.zstd"
"$makedb" motifs -q "$sites" "$work/sites"
"$makedb" motifs -q "$prosite" "$work/prosite" 2> "$work/prosite.log"
: > "$work/none.txt"
"$makedb" motifs -q "$work/none.txt" "$work/none"
declare -A patterns=([sites]=$sites [prosite]=$prosite)
declare -A cutoff=([sites]=9 [prosite]=-2)

# name, output prefix, command...: the wall time and peak KiB of one run,
# appended to $work/name.times; standard output and error to prefix.out/.err.
measure() {
  local name=$1 prefix=$2 start end; shift 2
  sync
  start=$EPOCHREALTIME
  /usr/bin/time -f "%M" -o "$work/time" "$@" > "$prefix.out" 2> "$prefix.err" \
    || { echo "$name failed: $(tail -c 300 "$prefix.err")" >&2; exit 1; }
  end=$EPOCHREALTIME
  echo "$(echo "$end - $start" | bc -l) $(tail -1 "$work/time")" >> "$work/$name.times"
}

status=0
same() {  # what, expected prefix, actual prefix
  for stream in out err; do
    if ! cmp -s "$2.$stream" "$3.$stream"; then
      echo "$1: standard $stream differs from the route's" >&2
      status=1
    fi
  done
}

for ((i = 0; i < runs; i++)); do
  for set in sites prosite; do
    for format in plain gzip; do
      file=$work/in.$format
      options=(-j 2 -e "${cutoff[$set]}")
      measure "makedb-$format" "$work/makedb" "$makedb" sequences -q "$file" "$work/db"
      measure "route-search-$set" "$work/route" \
        "$search" "${options[@]}" -l -m "$work/$set" -s "$work/db"
      rm -f "$work"/db-*
      measure "direct-$set-$format" "$work/direct" \
        "$search" "${options[@]}" -l -m "$work/$set" --fasta "$file"
      same "direct $set $format" "$work/route" "$work/direct"
      measure "patterns-$set-$format" "$work/patterns" \
        "$search" "${options[@]}" --patterns "${patterns[$set]}" --fasta "$file"
      # --patterns writes the warnings of the motif build first.
      cmp -s "$work/route.out" "$work/patterns.out" \
        || { echo "--patterns $set $format: standard output differs" >&2; status=1; }
    done
  done
  for format in plain gzip zstd; do
    measure "read-$format" "$work/read" \
      "$search" -j 2 -l -m "$work/none" --fasta "$work/in.$format"
    grep -q "Processing Sequence $(grep -c '^>' "$input")" "$work/read.err" \
      || { echo "read $format: not every record read" >&2; status=1; }
  done
done

median() { cut -d' ' -f1 "$work/$1.times" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
peak() { awk '$2 > m { m = $2 } END { printf "%.0f", m / 1024 }' "$work/$1.times"; }
printf 'sequences: %s (%s records), %s runs, -j 2\n\n' "$input" "$(grep -c '^>' "$input")" "$runs"
printf '%-8s %-6s %9s %9s %9s %9s %9s %14s %12s\n' set input makedb search route direct \
  direct/route "with --patterns" "peak direct"
for set in sites prosite; do
  for format in plain gzip; do
    makedb_s=$(median "makedb-$format")
    search_s=$(median "route-search-$set")
    route_s=$(echo "$makedb_s + $search_s" | bc -l)
    direct_s=$(median "direct-$set-$format")
    printf '%-8s %-6s %8.2fs %8.2fs %8.2fs %8.2fs %9.2f %13.2fs %8s MiB\n' "$set" "$format" \
      "$makedb_s" "$search_s" "$route_s" "$direct_s" "$(echo "$direct_s / $route_s" | bc -l)" \
      "$(median "patterns-$set-$format")" "$(peak "direct-$set-$format")"
  done
done
printf '(peak of the route: brisel-makedb %s MiB, the search %s MiB with the database pages it maps)\n' \
  "$(peak makedb-plain)" "$(peak route-search-sites)"
echo
plain_read=$(median read-plain)
printf '%-6s %9s %8s %10s %12s\n' input MiB read read/plain "peak memory"
for format in plain gzip zstd; do
  read_s=$(median "read-$format")
  printf '%-6s %9.1f %7.2fs %10.2f %8s MiB\n' "$format" \
    "$(echo "$(stat -c %s "$work/in.$format") / 1048576" | bc -l)" "$read_s" \
    "$(echo "$read_s / $plain_read" | bc -l)" "$(peak "read-$format")"
done
echo "(read: the direct search with a motif database of no motifs)"
[ "$status" = 0 ] && echo "every direct search wrote the route's streams byte for byte"
exit $status
