# SPDX-License-Identifier: MIT
# A single-node Slurm cluster for the tests and benchmarks, from Debian's
# packages (slurmctld, slurmd, slurm-client, munge), everything in one
# directory of its own: a munge key and munged on a socket there, a Slurm
# configuration generated for this host's name, CPUs and memory (slurmd -C),
# on two free ports, with the controller's state, the spool, the logs and a
# record of every finished job (jobcomp/filetxt) there too. Slurm keeps no
# accounting database here: finished jobs stay visible to squeue and scontrol
# for MinJobAge (300 s), which is what the Slurm executor plugin is told to ask
# (--slurm-status-command squeue).
#
# Slurm's programs find the configuration at /etc/slurm/slurm.conf, also inside
# the jobs (the executor plugin runs each job through a nested srun that is
# not given SLURM_CONF): slurm_cluster_start therefore mounts the directory
# over /etc/slurm, which it does only in a mount namespace of the caller's own,
# so that the machine's /etc/slurm is never touched; run the script that
# sources this under `unshare --mount --propagation private` (slurm_cluster_enter
# does that). Needs root.
#
# Source this file, then:
#   slurm_cluster_missing       prints why no cluster can be started here, or nothing
#   slurm_cluster_enter "$0" "$@"   re-executes the calling script in a mount
#                               namespace of its own, unless it is in one
#   slurm_cluster_start DIR     starts munged, slurmctld and slurmd with DIR as
#                               their directory and waits until the node is idle;
#                               munged wants every directory above DIR open to
#                               all (mode 755)
#   slurm_cluster_stop          cancels every job and stops exactly the daemons
#                               slurm_cluster_start started (by process id)
#   SLURM_CLUSTER_JOBS          the record of finished jobs (one line per job)

slurm_cluster_pids=()
slurm_cluster_mounted=

slurm_cluster_missing() {
  [ "$(id -u)" -eq 0 ] || { echo "not root (slurmctld, slurmd and munged need root)"; return; }
  local program
  for program in munged mungekey slurmctld slurmd sinfo sbatch squeue scancel scontrol srun unshare ss; do
    command -v "$program" > /dev/null || {
      echo "no $program (apt-get install slurmctld slurmd slurm-client munge)"
      return
    }
  done
  [ -d /etc/slurm ] || { echo "no /etc/slurm (apt-get install slurm-client)"; return; }
  local why
  why=$(unshare --mount --propagation private true 2>&1) ||
    echo "no mount namespace of its own for /etc/slurm (${why:-unshare failed})"
}

slurm_cluster_enter() {
  [ -n "${BRISEL_SLURM_NAMESPACE:-}" ] && return
  export BRISEL_SLURM_NAMESPACE=$$
  exec unshare --mount --propagation private "$@"
}

slurm_cluster_free_port() {  # a TCP port on which nothing listens
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    [ -z "$(ss -Htln "sport = :$port")" ] && [ -z "$(ss -Htln "sport = :$((port + 1))")" ] &&
      { echo "$port"; return; }
  done
}

slurm_cluster_start() {
  local dir=$1
  [ "${BRISEL_SLURM_NAMESPACE:-}" ] || { echo "slurm_cluster_start: not in a namespace" >&2; return 1; }
  mkdir -p "$dir/etc" "$dir/state" "$dir/spool"
  mungekey --create --keyfile="$dir/munge.key"
  munged --foreground --socket="$dir/munge.socket" --key-file="$dir/munge.key" \
    --pid-file="$dir/munged.pid" --seed-file="$dir/munged.seed" --log-file="$dir/munged.log" \
    > "$dir/munged.out" 2>&1 &
  slurm_cluster_pids+=($!)
  local waited
  for waited in $(seq 50); do
    [ -S "$dir/munge.socket" ] && break
    slurm_cluster_running "${slurm_cluster_pids[-1]}" || break
    sleep 0.1
  done
  [ -S "$dir/munge.socket" ] || { cat "$dir/munged.out" >&2; return 1; }

  local port host node
  port=$(slurm_cluster_free_port)
  host=$(hostname -s)
  node=$(slurmd -C | head -1)
  SLURM_CLUSTER_JOBS=$dir/jobs.txt
  cat > "$dir/etc/slurm.conf" <<EOF
ClusterName=brisel-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/filetxt
JobCompLoc=$SLURM_CLUSTER_JOBS
MinJobAge=300
KillWait=5
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
DefMemPerCPU=512
ReturnToService=2
$node NodeAddr=127.0.0.1 State=UNKNOWN
PartitionName=brisel Nodes=ALL Default=YES MaxTime=INFINITE State=UP
EOF
  mount --bind "$dir/etc" /etc/slurm
  slurm_cluster_mounted=1
  slurmctld -D -i > "$dir/slurmctld.out" 2>&1 &
  slurm_cluster_pids+=($!)
  slurmd -D > "$dir/slurmd.out" 2>&1 &
  slurm_cluster_pids+=($!)

  for waited in $(seq 60); do
    [ "$(timeout 5 sinfo -h -o %T 2> /dev/null)" = idle ] && return 0
    sleep 0.5
  done
  echo "the Slurm node did not come up in 30 s:" >&2
  tail -n 5 "$dir"/*.out "$dir"/*.log >&2
  return 1
}

slurm_cluster_running() {  # pid...: whether any of them runs (not a zombie)
  local pid
  for pid; do
    [ -e "/proc/$pid" ] && [ "$(awk '{print $3}' "/proc/$pid/stat" 2> /dev/null)" != Z ] &&
      return 0
  done
  return 1
}

slurm_cluster_stop() {
  local waited
  if [ "$slurm_cluster_mounted" ]; then
    # Jobs run outside the daemons' process trees: cancel them first (this
    # cluster's jobs only, the configuration being this cluster's).
    scancel --full --quiet --user=root 2> /dev/null || true
    for waited in $(seq 20); do
      [ -z "$(squeue -h -t running,completing 2> /dev/null)" ] && break
      sleep 0.5
    done
  fi
  [ "${#slurm_cluster_pids[@]}" -gt 0 ] || return 0
  kill -TERM "${slurm_cluster_pids[@]}" 2> /dev/null || true
  for waited in $(seq 20); do
    slurm_cluster_running "${slurm_cluster_pids[@]}" || break
    sleep 0.5
  done
  kill -KILL "${slurm_cluster_pids[@]}" 2> /dev/null || true
  wait "${slurm_cluster_pids[@]}" 2> /dev/null || true
  slurm_cluster_pids=()
}
