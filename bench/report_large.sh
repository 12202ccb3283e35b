#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The HTML report of a large search: the site patterns of data/ at -e 9 over
# PROTEINS.fasta (about 9.3 million hits on the 486,000 sequences of
# prepare-proteins.sh), written from the search's TSV output through the
# report's collector and writer (tests' tsv_to_report, until brisel-search
# has --report); prints the TSV's rows, the time to write the report, its
# size, and the time headless chromium takes to open it (tests/report/
# browser.py, with the Selenium of .venv).
#
#   bench/report_large.sh PROTEINS.fasta [THREADS] [KEEP_DIR]
#
# THREADS (default 2) is the search's -j; the files go to KEEP_DIR when
# given (kept), else to a temporary directory. Builds nothing: run
# `make build` and `make venv` first.
set -euo pipefail
input=${1:?usage: report_large.sh PROTEINS.fasta [THREADS] [KEEP_DIR]}
threads=${2:-2}
here=$(cd "$(dirname "$0")/.." && pwd)
search=$here/build/src/brisel-search/brisel-search
writer=$here/build/tests/report/tsv_to_report
if [ -n "${3:-}" ]; then
  work=$3
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

"$search" -j "$threads" --patterns "$here/data/site-patterns.txt" --fasta "$input" -e 9 -F tsv \
  > "$work/hits.tsv" 2> /dev/null
echo "rows: $(($(wc -l < "$work/hits.tsv") - 1))"
start=$(date +%s.%N)
"$writer" --fasta "$input" --input "motifs: site-patterns.txt" --input "sequences: $(basename "$input")" \
  --option "-e 9" "$work/hits.tsv" "$work/report.html"
end=$(date +%s.%N)
echo "report written in $(echo "$end - $start" | bc) s (reading the TSV and the FASTA file included)"
"$here/.venv/bin/python" "$here/tests/report/browser.py" "$work/report.html"
