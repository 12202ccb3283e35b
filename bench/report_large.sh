#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The HTML report of a large search and what --report costs: the direct
# search of the site patterns of data/ at -e 9 over PROTEINS.fasta (about 9.3
# million hits on the 486,000 sequences of prepare-proteins.sh), RUNS times
# without and RUNS times with --report, in turns; prints the wall and CPU
# times of each run, the medians and their ratios, checks that both streams are the same
# bytes with and without the report, then prints the report's size and the
# time headless chromium takes to open it (tests/report/browser.py, with the
# Selenium of .venv).
#
#   bench/report_large.sh PROTEINS.fasta [THREADS] [RUNS] [KEEP_DIR]
#
# THREADS (default 2) is the search's -j, RUNS (default 3) the runs of each;
# the hits go to /dev/null (and once more through md5sum, both streams
# compared), the report to
# KEEP_DIR when given (kept), else to a temporary directory. Builds nothing:
# run `make build` and `make venv` first.
set -euo pipefail
input=${1:?usage: report_large.sh PROTEINS.fasta [THREADS] [RUNS] [KEEP_DIR]}
threads=${2:-2}
runs=${3:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
search=$here/build/bin/brisel-search
if [ -n "${4:-}" ]; then
  work=$4
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

# Runs the search with the extra options given, its streams to /dev/null;
# prints its wall time and its CPU time (user and system, all threads), which
# other work on a shared machine disturbs less.
timed() {
  /usr/bin/time -f "%e %U %S" -o "$work/time" \
    "$search" -j "$threads" --patterns "$here/data/site-patterns.txt" --fasta "$input" -e 9 "$@" \
    > /dev/null 2>&1
  awk '{printf "%s %.2f\n", $1, $2 + $3}' "$work/time"
}

# The checksums of both streams of the search with the extra options given.
sums() {
  "$search" -j "$threads" --patterns "$here/data/site-patterns.txt" --fasta "$input" -e 9 "$@" \
    2> "$work/err" | md5sum
  md5sum < "$work/err"
}

# The median of column $1 of the lines read.
median() { awk -v c="$1" '{print $c}' | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }

: > "$work/plain.times"
: > "$work/report.times"
for ((k = 1; k <= runs; ++k)); do
  timed >> "$work/plain.times"
  timed --report "$work/report.html" >> "$work/report.times"
  echo "run $k (wall s, CPU s): without $(tail -1 "$work/plain.times"), with --report" \
       "$(tail -1 "$work/report.times")"
done
for column in 1 2; do
  plain=$(median $column < "$work/plain.times")
  report=$(median $column < "$work/report.times")
  echo "median $( ((column == 1)) && echo wall || echo CPU): without $plain s, with --report" \
       "$report s, ratio $(echo "scale=3; $report / $plain" | bc)"
done
if [ "$(sums)" = "$(sums --report "$work/report.html")" ]; then
  echo "identical output with and without --report"
else
  echo "output DIFFERS with --report" >&2
  exit 1
fi
"$here/.venv/bin/python" "$here/tests/report/browser.py" "$work/report.html"
