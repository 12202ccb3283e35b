#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The cost of running the workflow's jobs through Slurm, on the single-node
# cluster of the tests (tests/workflow/slurm_cluster.sh: root and Debian's
# slurmctld, slurmd, slurm-client and munge). Runs the workflow over PROTEINS
# (default data/proteins-3000.fasta.gz, whose jobs compute for well under a
# second) with the Slurm profile filled in for this cluster, once with the
# plugin's own status check timing and once with the first check after
# INIT seconds, then locally (--cores 2), and prints
#   - per job, from Slurm's record of finished jobs: submission to start
#     (Slurm's scheduling and launch) and start to end (the job step, which
#     runs Snakemake once more inside the job around the job's command);
#   - the wall time of each whole run, and of the local one.
# Times in Slurm's record are whole seconds.
#
#   [SHARDS=4] [INIT=5] bench/workflow_slurm.sh [PROTEINS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
. "$here/tests/workflow/slurm_cluster.sh"
missing=$(slurm_cluster_missing)
[ -z "$missing" ] || { echo "cannot start Slurm here: $missing" >&2; exit 1; }
[ -x "$here/.venv/bin/snakemake" ] || { echo "no $here/.venv: run make venv" >&2; exit 1; }
slurm_cluster_enter "$0" "$@"

input=$(realpath "${1:-$here/data/proteins-3000.fasta.gz}")
shards=${SHARDS:-4}
init=${INIT:-5}
work=$(mktemp -d)
chmod 755 "$work"
cleanup() {
  slurm_cluster_stop
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
mkdir bin profile
ln -s "$here/build/bin/brisel-search" bin/brisel-search
ln -s "$here/build/bin/brisel-makedb" bin/brisel-makedb
export PATH="$work/bin:$here/.venv/bin:$PATH"
slurm_cluster_start "$work/cluster"
sed -e 's/^  # slurm_partition: .*/  slurm_partition: "brisel"/' \
  -e 's/^# slurm-no-account: true/slurm-no-account: true/' \
  -e 's/^# slurm-status-command: squeue/slurm-status-command: squeue/' \
  "$here/workflow/profiles/slurm/config.yaml" > profile/config.yaml

seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null 2>&1
  end=$(date +%s.%N)
  echo "$end - $start" | bc
}
settings() {  # NAME: the workflow's settings for a run of its own
  echo sequences="$input" motifs="$here/data/site-patterns.txt" shards="$shards" cutoff=9 \
    format=pipe out="$work/$1.out" work="$work/$1"
}
jobs_summary() {  # FROM-JOB: submission to start and start to end of the jobs from FROM-JOB on
  awk -v from="$1" '
    function epoch(t) { gsub(/[-T:]/, " ", t); return mktime(t) }
    {
      for (i = 1; i <= NF; i++) { split($i, kv, "="); field[kv[1]] = substr($i, length(kv[1]) + 2) }
      if (+field["JobId"] < +from) next
      queue = epoch(field["StartTime"]) - epoch(field["SubmitTime"])
      run = epoch(field["EndTime"]) - epoch(field["StartTime"])
      n++; queued[n] = queue; ran[n] = run; qsum += queue; rsum += run
      if (queue > qmax) qmax = queue
      if (run > rmax) rmax = run
    }
    END {
      printf "  %d jobs; submission to start: mean %.1f s, max %d s; start to end: mean %.1f s, max %d s\n",
        n, qsum / n, qmax, rsum / n, rmax
    }' "$SLURM_CLUSTER_JOBS"
}
next_job() { [ -s "$SLURM_CLUSTER_JOBS" ] && echo $(($(wc -l < "$SLURM_CLUSTER_JOBS") + 1)) || echo 1; }

first=$(next_job)
wall=$(seconds snakemake -s "$here/workflow/Snakefile" --profile profile \
  --slurm-keep-successful-logs --config $(settings plugin-timing))
echo "through Slurm, the plugin's status check timing (first check 40 s after submission): $wall s"
jobs_summary "$first"

first=$(next_job)
wall=$(seconds snakemake -s "$here/workflow/Snakefile" --profile profile \
  --slurm-init-seconds-before-status-checks "$init" --config $(settings quick-timing))
echo "through Slurm, first status check $init s after submission: $wall s"
jobs_summary "$first"

wall=$(seconds snakemake -s "$here/workflow/Snakefile" --cores 2 --config $(settings local))
echo "locally, --cores 2: $wall s"
cmp plugin-timing.out local.out && cmp quick-timing.out local.out && echo "outputs identical"
