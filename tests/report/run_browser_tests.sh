#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the report's browser tests (tests/report/) with the pytest of the
# project's environment, which needs Selenium and html5lib (make venv), and
# Debian's chromium and chromium-driver. Exit status 77 (skipped), with the
# reason, when one of them is missing.
#
#   run_browser_tests.sh VENV BRISEL_SEARCH BRISEL_MAKEDB OUTPUT_DIR
#
# OUTPUT_DIR receives the sample reports, their TSV files and screenshots.
set -euo pipefail
venv=$1
export BRISEL_SEARCH=$2 BRISEL_MAKEDB=$3 BRISEL_REPORT_OUTPUT=$4
if ! [ -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import selenium, html5lib, pytest' 2> /dev/null; then
  echo "no selenium, html5lib or pytest in $venv (make venv installs them): skipped"
  exit 77
fi
for program in chromium chromedriver; do
  if ! command -v "$program" > /dev/null; then
    echo "no $program (apt-get install chromium chromium-driver): skipped"
    exit 77
  fi
done
cd "$(dirname "$0")"
exec "$venv/bin/python" -m pytest -q -p no:cacheprovider -o console_output_style=classic .
