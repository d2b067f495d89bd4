#!/usr/bin/env bash
# A one-node SLURM cluster on this machine for the farm tests, without systemd:
#   scripts/slurm-cluster.sh start   installs slurm-wlm and munge when missing, starts munged,
#                                    slurmctld and slurmd, waits for the node to be idle and
#                                    prints the SLURM_CONF line to export
#   scripts/slurm-cluster.sh stop    stops the three daemons by the pids they wrote
#   scripts/slurm-cluster.sh env     prints the SLURM_CONF line only
# Everything (key, state, spool, pids, logs) lives under $LUMETRA_SLURM_DIR (default
# ${TMPDIR:-/tmp}/lumetra-slurm). Needs root: slurmd and the jobs run as root.
set -euo pipefail

scratch=${LUMETRA_SLURM_DIR:-${TMPDIR:-/tmp}/lumetra-slurm}
conf=$scratch/slurm.conf
host=$(hostname -s)

say() { printf 'slurm-cluster: %s\n' "$*" >&2; }

install_packages() {
  local missing=()
  for p in slurm-wlm munge; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    say "installing ${missing[*]}"
    apt-get update -qq >&2  # stdout is for the environment lines "start" prints
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
  fi
}

alive() { [ -s "$1" ] && kill -0 "$(cat "$1")" 2>/dev/null; }

start_munge() {
  local dir=$scratch/munge
  mkdir -p "$dir"
  chown munge:munge "$dir"
  chmod 700 "$dir"
  if [ ! -s "$dir/munge.key" ]; then
    dd if=/dev/urandom of="$dir/munge.key" bs=1024 count=1 status=none
  fi
  chown munge:munge "$dir/munge.key"
  chmod 400 "$dir/munge.key"
  if alive "$dir/munged.pid"; then return; fi
  # --force: the scratch folder sits under the world-writable (sticky) temporary directory.
  runuser -u munge -- /usr/sbin/munged --force --key-file="$dir/munge.key" \
    --socket="$dir/munge.socket" --pid-file="$dir/munged.pid" --log-file="$dir/munged.log" \
    --seed-file="$dir/munged.seed"
}

write_conf() {
  local cpus mem
  cpus=$(nproc)
  # 95% of the physical memory, so slurmd never finds less than the node claims.
  mem=$(awk '/^MemTotal:/ { printf "%d", $2 / 1024 * 0.95 }' /proc/meminfo)
  mkdir -p "$scratch/state" "$scratch/spool"
  cat >"$conf" <<EOF
ClusterName=lumetra
SlurmctldHost=$host
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$scratch/munge/munge.socket
StateSaveLocation=$scratch/state
SlurmdSpoolDir=$scratch/spool
SlurmctldPidFile=$scratch/slurmctld.pid
SlurmdPidFile=$scratch/slurmd.pid
SlurmctldLogFile=$scratch/slurmctld.log
SlurmdLogFile=$scratch/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
MpiDefault=none
JobAcctGatherType=jobacct_gather/none
SchedulerType=sched/backfill
NodeName=$host CPUs=$cpus RealMemory=$mem State=UNKNOWN
PartitionName=main Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF
}

wait_idle() {
  local state=""
  for _ in $(seq 1 60); do
    state=$(SLURM_CONF=$conf sinfo -h -n "$host" -o %T 2>/dev/null | head -n 1 || true)
    case $state in
      idle*|mixed*|allocated*) say "node $host is $state"; return 0 ;;
    esac
    sleep 1
  done
  say "node $host did not become idle (state '${state:-none}'); logs in $scratch"
  return 1
}

start() {
  [ "$(id -u)" = 0 ] || { say "must run as root"; exit 1; }
  install_packages
  mkdir -p "$scratch"
  start_munge
  write_conf
  alive "$scratch/slurmctld.pid" || /usr/sbin/slurmctld -f "$conf"
  alive "$scratch/slurmd.pid" || /usr/sbin/slurmd -f "$conf"
  wait_idle
  echo "export SLURM_CONF=$conf"
}

stop_one() {
  local pidfile=$1 pid
  alive "$pidfile" || return 0
  pid=$(cat "$pidfile")
  kill "$pid"
  for _ in $(seq 1 30); do
    kill -0 "$pid" 2>/dev/null || return 0
    sleep 0.5
  done
  say "pid $pid ($pidfile) did not stop; killing it"
  kill -9 "$pid" 2>/dev/null || true
}

stop() {
  stop_one "$scratch/slurmd.pid"
  stop_one "$scratch/slurmctld.pid"
  stop_one "$scratch/munge/munged.pid"
}

case ${1:-} in
  start) start ;;
  stop) stop ;;
  env) echo "export SLURM_CONF=$conf" ;;
  *) echo "usage: $0 start|stop|env" >&2; exit 2 ;;
esac
