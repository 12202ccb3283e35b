#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs every fuzz target for a bounded time on a scratch copy of its committed
# corpus and reports the executions of each. Fails if any target finds a crash;
# the crashing input is kept in BUILD/fuzz-artifacts/ (add it to
# fuzz/regressions/<target>/ once fixed, so that the tests replay it).
#
#   fuzz/run_fuzzers.sh BUILD SECONDS
set -uo pipefail
build=${1:?usage: run_fuzzers.sh BUILD SECONDS}
seconds=${2:?usage: run_fuzzers.sh BUILD SECONDS}
here=$(cd "$(dirname "$0")" && pwd)
artifacts=$build/fuzz-artifacts
mkdir -p "$artifacts"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failed=0
for target in scanner stats_file fasta_reader pattern_parser databases compressed_input \
              direct_search; do
  mkdir -p "$scratch/$target"
  log=$scratch/$target.log
  "$build/fuzz/fuzz-$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
    -rss_limit_mb=4096 -artifact_prefix="$artifacts/$target-" \
    "$scratch/$target" "$here/corpus/$target" > "$log" 2>&1
  status=$?
  runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')
  if [ "$status" -eq 0 ]; then
    printf '%-17s %9s executions, no crash\n' "$target" "${runs:-?}"
  else
    printf '%-17s FAILED after %s executions:\n' "$target" "${runs:-?}"
    grep -E 'ERROR|invariant failed|SUMMARY|Test unit written' "$log" | head -5
    failed=1
  fi
done
exit $failed
