#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs ctest in a build directory, then lists the tests it skipped, each with
# the reason it printed: the lines of its output that begin with SKIPPED (a
# test that skips prints "SKIPPED: reason"; pytest's own skips, with -rs,
# print "SKIPPED [n] file:line: reason", so a test that passed with skipped
# parts is listed too). Read from ctest's JUnit report. Exits with ctest's
# status.
#
#   run_ctest.sh BUILD_DIR [CTEST_OPTION...]
set -uo pipefail
build=$1
shift
report=$(cd "$build" && pwd)/Testing/junit.xml
rm -f "$report"
ctest --test-dir "$build" --output-junit "$report" "$@"
status=$?
[ -f "$report" ] || exit "$status"
if ! command -v python3 > /dev/null; then
  echo "(no python3 to list the skipped tests from $report)"
  exit "$status"
fi
python3 - "$report" << 'PYTHON' || status=1
import sys
import xml.etree.ElementTree as ET

listed = []
for case in ET.parse(sys.argv[1]).getroot().iter("testcase"):
    out = case.findtext("system-out") or ""
    reasons = [line[len("SKIPPED"):].lstrip(": ").rstrip()
               for line in out.splitlines() if line.startswith("SKIPPED")]
    if case.get("status") == "notrun":
        skipped = case.find("skipped")
        if skipped is None:
            continue  # not run for another reason (a failure ctest already reported)
        listed.append((case.get("name"), reasons or ["(no reason printed)"]))
    elif reasons:
        listed.append((case.get("name"), reasons))
if listed:
    print(f"\nSkipped tests ({len(listed)}), with their reasons:")
    for name, reasons in listed:
        for reason in reasons:
            print(f"  {name}: {reason}")
else:
    print("\nNo test was skipped.")
PYTHON
exit "$status"
