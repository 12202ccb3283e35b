#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The cost of compressed input: reads the same FASTA file plain and compressed
# (gzip -6 and zstd -3, the tools' defaults; FORMATS="plain gzip zstd bzip2 xz"
# adds the others), alternating, and prints for each the median wall time of
#   read    build/bench/read_input: decompression, lines and the record rules,
#           as brisel-makedb reads, building nothing;
#   tool    the format's own tool decompressing to /dev/null (zcat, zstd -dc,
#           ...), for the speed of the decoder itself;
#   makedb  brisel-makedb sequences on the file (writeback flushed before);
# the ratios of read and makedb to plain's, and the file's size. It fails
# unless every format gives the plain input's counts and database byte for
# byte.
#
#   bench/input_formats.sh PROTEINS.fasta [RUNS]
#
# RUNS (default 3). The compressed copies are written to a temporary
# directory and removed. Builds nothing: run `make build` first.
set -euo pipefail
input=${1:?usage: input_formats.sh PROTEINS.fasta [RUNS]}
runs=${2:-3}
formats=${FORMATS:-plain gzip zstd}
here=$(cd "$(dirname "$0")/.." && pwd)
makedb=$here/build/bin/brisel-makedb
reader=$here/build/bench/read_input
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

file_of() { echo "$work/in.$1"; }
tool_of() {  # format: the command that decompresses a file of it to standard output
  case $1 in
    plain) echo cat ;;
    gzip) echo gzip -dc ;;
    zstd) echo zstd -qdc ;;
    bzip2) echo bzip2 -dc ;;
    xz) echo xz -dc ;;
  esac
}
for format in $formats; do
  case $format in
    plain) cp "$input" "$(file_of plain)" ;;
    gzip) gzip -6 -c "$input" > "$(file_of gzip)" ;;
    zstd) zstd -q -3 -c "$input" > "$(file_of zstd)" ;;
    bzip2) bzip2 -9 -c "$input" > "$(file_of bzip2)" ;;
    xz) xz -6 -T1 -c "$input" > "$(file_of xz)" ;;
    *) echo "unknown format $format" >&2; exit 2 ;;
  esac
done

seconds() {  # name, output, command...: appends the wall time to $work/name.times
  local name=$1 output=$2 start end; shift 2
  start=$(date +%s.%N)
  "$@" > "$output" 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc >> "$work/$name.times"
}
for ((i = 0; i < runs; i++)); do
  for format in $formats; do
    file=$(file_of "$format")
    seconds "read-$format" "$work/out" "$reader" "$file"
    cut -d' ' -f2- "$work/out" | sed 's/ [0-9.]* s$//' > "$work/counts-$format"
    # shellcheck disable=SC2046 # the tool's words
    seconds "tool-$format" /dev/null $(tool_of "$format") "$file"
    sync
    seconds "makedb-$format" /dev/null "$makedb" sequences -q "$file" "$work/db-$format"
  done
done

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
status=0
plain_read=$(median < "$work/read-plain.times")
plain_makedb=$(median < "$work/makedb-plain.times")
printf '%-6s %9s %8s %8s %8s %10s %12s\n' format MiB read tool makedb read/plain makedb/plain
for format in $formats; do
  read_s=$(median < "$work/read-$format.times")
  tool_s=$(median < "$work/tool-$format.times")
  makedb_s=$(median < "$work/makedb-$format.times")
  mib=$(echo "$(stat -c %s "$(file_of "$format")") / 1048576" | bc -l)
  printf '%-6s %9.1f %7.3fs %7.3fs %7.2fs %10.2f %12.2f\n' "$format" "$mib" "$read_s" "$tool_s" \
    "$makedb_s" "$(echo "$read_s / $plain_read" | bc -l)" \
    "$(echo "$makedb_s / $plain_makedb" | bc -l)"
  if ! cmp -s "$work/counts-$format" "$work/counts-plain"; then
    echo "$format: other counts than plain's: $(cat "$work/counts-$format")" >&2
    status=1
  fi
  for block in "$work"/db-plain-*; do
    if ! cmp -s "$block" "${block/db-plain/db-$format}"; then
      echo "$format: database differs from plain's in ${block##*/db-plain}" >&2
      status=1
    fi
  done
done
echo "every format: $(cat "$work/counts-plain")"
exit $status
