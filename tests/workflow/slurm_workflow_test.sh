#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# End to end on a real Slurm: a single-node cluster started from Debian's
# packages (slurm_cluster.sh) runs the workflow through the Slurm executor
# plugin, with workflow/profiles/slurm filled in as a user would (partition,
# no account, status through squeue).
# - On the sample data and on 3,000 real proteins (gzip) the workflow writes
#   byte for byte the output of one search over one database, and every job
#   but the local manifest ran as a Slurm job: Slurm's record of finished jobs
#   lists each one as completed, and the plugin kept one log per job and rule.
# - Killed (SIGKILL) while its search jobs run, its jobs left running, the
#   workflow is unlocked and rerun, and gives the same bytes; no partial file
#   is left once the orphaned jobs end.
# - A search job that fails on a damaged shard fails the workflow; no output
#   and no partial file is left.
# Stops the daemons it started, by process id, whatever the outcome. Exit
# status 77 (skipped, with the reason) when Slurm cannot be started here (not
# root, packages missing) or the environment lacks Snakemake or the plugin.
#
#   slurm_workflow_test.sh SOURCE_DIR SEARCH_BINARY MAKEDB_BINARY VENV
set -euo pipefail
source_dir=$1 search=$2 makedb=$3 venv=$4
. "$source_dir/tests/workflow/slurm_cluster.sh"

skip() { echo "SKIPPED: $*"; exit 77; }
[ -x "$venv/bin/snakemake" ] || skip "no snakemake in $venv (make venv installs it)"
"$venv/bin/python" -c "import snakemake_executor_plugin_slurm" 2> /dev/null ||
  skip "no Slurm executor plugin in $venv (make venv installs it)"
missing=$(slurm_cluster_missing)
[ -z "$missing" ] || skip "cannot start Slurm here: $missing"
slurm_cluster_enter "$0" "$@"

work=$(mktemp -d)
chmod 755 "$work"  # for munged's socket
head=
cleanup() {
  [ -z "$head" ] || kill -KILL "$head" 2> /dev/null || true  # a head a failed check left
  slurm_cluster_stop
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
cd "$work"

# The programs, on the PATH that sbatch passes on to the jobs; brisel-search
# waits BRISEL_TEST_SEARCH_DELAY seconds first, its output already open, so
# that a run can be killed while its searches run.
mkdir bin
ln -s "$makedb" bin/brisel-makedb
cat > bin/brisel-search <<EOF
#!/bin/sh
sleep "\${BRISEL_TEST_SEARCH_DELAY:-0}"
exec "$search" "\$@"
EOF
chmod +x bin/brisel-search
export PATH="$work/bin:$venv/bin:$PATH"

slurm_cluster_start "$work/cluster" || fail "the Slurm cluster did not start"

# The profile as a user fills it in for this cluster.
mkdir profile
sed -e 's/^  # slurm_partition: .*/  slurm_partition: "brisel"/' \
  -e 's/^# slurm-no-account: true/slurm-no-account: true/' \
  -e 's/^# slurm-status-command: squeue/slurm-status-command: squeue/' \
  "$source_dir/workflow/profiles/slurm/config.yaml" > profile/config.yaml
[ "$(grep -cE '^  slurm_partition: "brisel"|^slurm-no-account: true|^slurm-status-command: squeue' \
  profile/config.yaml)" -eq 3 ] || fail "the profile's partition, account or status lines changed"

snakemake_options=(-s "$source_dir/workflow/Snakefile" --profile "$work/profile"
  --slurm-init-seconds-before-status-checks 5 --slurm-keep-successful-logs --latency-wait 5)
workflow() {  # key=value...: the workflow through Slurm, its log in snakemake.log
  snakemake "${snakemake_options[@]}" --config "$@" > snakemake.log 2>&1
}
run() {
  workflow "$@" || { cat snakemake.log >&2; fail "snakemake $*"; }
}
jobs_in_state() {  # STATE: the jobs Slurm recorded as finished in that state
  grep -c "JobState=$1 " "$SLURM_CLUSTER_JOBS" || true
}
logged_jobs() {  # RULE: the Slurm jobs of that rule the plugin kept a log of
  find .snakemake/slurm_logs -path "*/rule_$1/*" -name '*.log' | wc -l
}
expect_jobs() {  # COMPLETED-COUNT RULE=COUNT...: Slurm ran these jobs, all completed
  local completed=$1 rule count logs
  shift
  [ "$(jobs_in_state COMPLETED)" -eq "$completed" ] ||
    { cat "$SLURM_CLUSTER_JOBS" >&2; fail "Slurm completed $(jobs_in_state COMPLETED) jobs, not $completed"; }
  for rule; do
    count=${rule#*=} rule=${rule%=*}
    logs=$(logged_jobs "$rule")
    [ "$logs" -eq "$count" ] || fail "the plugin logged $logs Slurm jobs of rule $rule, not $count"
  done
}
expect() {  # MOTIFS SEQUENCES FORMAT CUTOFF FILE: FILE is one search's output
  brisel-makedb motifs -q "$1" reference-motifs
  brisel-makedb sequences -q "$2" reference-sequences
  brisel-search -l -e "$4" -F "$3" -m reference-motifs -s reference-sequences > expected 2> /dev/null
  [ -s expected ] || fail "the single search wrote nothing"
  cmp expected "$5" || fail "$5 differs from the single search ($3, -e $4)"
}

sample=$source_dir/data/swissprot-100.fasta
proteins=$source_dir/data/proteins-3000.fasta.gz
prosite=$source_dir/data/prosite-excerpt.dat
sites=$source_dir/data/site-patterns.txt

# The sample data: 9 Slurm jobs (split, 3 shards, motifs, 3 searches, join).
run sequences="$sample" motifs="$prosite" shards=3 cutoff=-2 format=pipe out="$work/sample.out" \
  work="$work/sample"
expect "$prosite" "$sample" pipe -2 sample.out
expect_jobs 9 split_sequences=1 sequence_shard=3 motif_database=1 search_shard=3 concatenate=1

# 3,000 real proteins in 4 shards, every site pattern on every sequence: 11
# more jobs.
proteins_run=(sequences="$proteins" motifs="$sites" shards=4 work="$work/proteins")
run "${proteins_run[@]}" cutoff=9 format=tsv out="$work/proteins.tsv"
expect "$sites" "$proteins" tsv 9 proteins.tsv
expect_jobs 20 split_sequences=2 sequence_shard=7 motif_database=2 search_shard=7 concatenate=2

# Killed while its 4 searches run: the searches wait 8 s, the head is killed
# once all are running with their outputs open, and its jobs run on. The head
# is started without a shell function, so that $! is Snakemake's own process
# and the kill does not leave it running the workflow beside the rerun.
BRISEL_TEST_SEARCH_DELAY=8 snakemake "${snakemake_options[@]}" \
  --config "${proteins_run[@]}" cutoff=0 format=gff3 out="$work/killed.gff3" > snakemake.log 2>&1 &
head=$!
for waited in $(seq 120); do
  [ "$(squeue -h -t running -o %k | grep -c rule_search_shard)" -eq 2 ] &&
    [ -n "$(find proteins -name 'hits.*.partial-*')" ] && break
  sleep 0.5
done
[ "$waited" -lt 120 ] || { cat snakemake.log >&2; fail "the searches did not start"; }
case $(ps -o args= -p "$head") in
  *bin/snakemake\ *) ;;
  *) fail "process $head is not the Snakemake head" ;;
esac
kill -KILL "$head"
{ wait "$head" || true; } 2> /dev/null
head=
[ ! -e killed.gff3 ] || fail "the killed workflow wrote its output"
snakemake "${snakemake_options[@]}" --unlock \
  --config "${proteins_run[@]}" cutoff=0 format=gff3 out="$work/killed.gff3" > unlock.log 2>&1 ||
  { cat unlock.log >&2; fail "snakemake --unlock"; }
run "${proteins_run[@]}" cutoff=0 format=gff3 out="$work/killed.gff3"
expect "$sites" "$proteins" gff3 0 killed.gff3
for waited in $(seq 60); do
  [ -z "$(squeue -h -t pending,running,completing)" ] && break
  sleep 0.5
done
[ -z "$(find proteins -name '*partial*')" ] || fail "partial files left after the killed run"
[ "$(logged_jobs concatenate)" -eq 3 ] ||
  fail "the outputs were not joined once, by the rerun alone"
cmp expected killed.gff3 || fail "the output changed once the orphaned jobs ended"

# A damaged shard: its search fails (not tried again here), the workflow
# fails, and leaves no output and no partial file.
failed_before=$(jobs_in_state FAILED)
truncate -s 100 "$(find proteins/sequences -name 'sequences.3-offsets.bin')"
if workflow "${proteins_run[@]}" cutoff=-2 format=pipe out="$work/damaged.out" --retries 0; then
  fail "the workflow succeeded on a damaged shard"
fi
grep -q "Error in rule search_shard" snakemake.log || { cat snakemake.log >&2; fail "no failed search"; }
[ "$(jobs_in_state FAILED)" -ge $((failed_before + 1)) ] || fail "Slurm recorded no failed job"
[ ! -e damaged.out ] || fail "the workflow wrote an output despite a failed search"
[ -z "$(find proteins -name '*partial*')" ] || fail "a failed search left a partial file"
echo "the workflow through Slurm matches the single-database search, killed, rerun or failing"
