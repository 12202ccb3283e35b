#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The README's Quick start on a fresh Debian 12, as a newcomer meets it:
# debootstraps a minimal bookworm root (minbase with git and ca-certificates
# only: no make, no compiler, no Python), clones this repository's committed
# HEAD into it, and runs there, as root through chroot, the two commands of
# the README's Quick start: its code-block lines containing the word `demo`
# and the word `test`, read from README.md so that the README cannot drift.
# Both must pass, installing what they need themselves, and `git status
# --porcelain` must be empty after them. Prints how long each step took, and
# the end of each command's output (the test command's ends with the skipped
# tests and their reasons). Needs root, debootstrap, and Debian's archive and
# PyPI.
#
# The root is set up as a container's is: a mount point of its own, with
# /proc, /sys (and the cgroup hierarchies) and /dev (with /dev/pts and a
# /dev/shm of its own) mounted, the host's network settings (resolv.conf,
# hosts, and the certificate authorities it adds to Debian's in
# /usr/local/share/ca-certificates, such as a proxy's), and a policy-rc.d that keeps package installs from starting services (munged,
# slurmctld), which would otherwise run on this machine. On every exit, each
# process still running in the root is stopped by its process id, everything
# mounted under the root is unmounted, and the root is removed.
#
#   fresh_debian_test.sh [WORK_DIR]     (default: a new directory under /var/tmp,
#                                        removed when the run passes)
#
# BRISEL_FRESH_CACHE=DIR keeps the Debian packages downloaded (debootstrap's
# and apt's) in DIR for the next run. BRISEL_FRESH_KEEP=1 keeps the root.
# BRISEL_FRESH_MIRROR overrides the Debian mirror (http://deb.debian.org/debian).
set -euo pipefail

fail() { echo "fresh_debian_test: FAIL: $*" >&2; exit 1; }
say() { echo "fresh_debian_test: $*"; }

[ "$(id -u)" -eq 0 ] || fail "needs root (debootstrap, chroot, mounts)"
command -v debootstrap > /dev/null || fail "no debootstrap (apt-get install debootstrap)"
source_dir=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
readme=$source_dir/README.md
mirror=${BRISEL_FRESH_MIRROR:-http://deb.debian.org/debian}

# The Quick start's two commands: the lines of its code blocks with the word
# demo or test, exactly one of each.
quick_start=$(git -C "$source_dir" show HEAD:README.md |
  awk '/^## /{ inside = ($0 == "## Quick start") } inside && /^```/{ block = !block; next }
       inside && block')
demo_command=$(grep -wE 'demo' <<< "$quick_start" || true)
test_command=$(grep -wE 'test' <<< "$quick_start" || true)
[ -n "$demo_command" ] && [ "$(wc -l <<< "$demo_command")" -eq 1 ] ||
  fail "the Quick start of $readme must have one code-block line with 'demo', not: '$demo_command'"
[ -n "$test_command" ] && [ "$(wc -l <<< "$test_command")" -eq 1 ] ||
  fail "the Quick start of $readme must have one code-block line with 'test', not: '$test_command'"
[ "$demo_command" != "$test_command" ] || fail "one line has both 'demo' and 'test': $demo_command"

own_work=
if [ "$#" -gt 0 ]; then
  work=$1
  mkdir -p "$work"
else
  work=$(mktemp -d /var/tmp/brisel-fresh.XXXXXX)
  own_work=1
fi
work=$(cd "$work" && pwd)
root=$work/root
[ ! -e "$root" ] || fail "$root exists already"
mounted=()

# Every process whose root directory is the fresh root: the ones started in it.
processes_in_root() {
  local link pid
  for link in /proc/[0-9]*/root; do
    pid=${link#/proc/}
    pid=${pid%/root}
    [ "$(readlink "$link" 2> /dev/null)" = "$root" ] && echo "$pid"
  done
  return 0
}

cleanup() {
  local status=$? pids i
  pids=$(processes_in_root)
  if [ -n "$pids" ]; then
    say "stopping what still runs in the root: $(echo $pids)"
    # shellcheck disable=SC2086
    kill -TERM $pids 2> /dev/null || true
    sleep 2
    pids=$(processes_in_root)
    # shellcheck disable=SC2086
    [ -z "$pids" ] || kill -KILL $pids 2> /dev/null || true
  fi
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount --recursive "${mounted[i]}" 2> /dev/null || umount --recursive --lazy "${mounted[i]}" ||
      echo "fresh_debian_test: cannot unmount ${mounted[i]}" >&2
  done
  if [ -n "$(findmnt -rn -o TARGET | grep -F "$root" || true)" ]; then
    echo "fresh_debian_test: still mounted under $root; left in place" >&2
  elif [ "${BRISEL_FRESH_KEEP:-}" ]; then
    say "kept the root: $root"
  else
    rm -rf --one-file-system "$root"
    # The logs stay where the run failed.
    if [ "$status" -eq 0 ] && [ "$own_work" ]; then
      rm -rf "$work"
    else
      echo "fresh_debian_test: the logs are in $work" >&2
    fi
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mount_in_root() {  # TARGET MOUNT-ARGUMENT...: mounts under the root, unmounted on exit
  local target=${root%/}$1
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounted+=("$target")
}

elapsed() { printf '%dm%02ds' $(($1 / 60)) $(($1 % 60)); }

# A minimal Debian 12.
started=$SECONDS
cache=()
if [ -n "${BRISEL_FRESH_CACHE:-}" ]; then
  mkdir -p "$BRISEL_FRESH_CACHE/debootstrap" "$BRISEL_FRESH_CACHE/apt"
  cache=(--cache-dir="$(cd "$BRISEL_FRESH_CACHE" && pwd)/debootstrap")
fi
say "debootstrap bookworm (minbase, git, ca-certificates) into $root"
debootstrap --variant=minbase --include=git,ca-certificates "${cache[@]}" bookworm "$root" \
  "$mirror" > "$work/debootstrap.log" 2>&1 || { tail -n 30 "$work/debootstrap.log" >&2; fail "debootstrap"; }
debootstrap_time=$((SECONDS - started))
for absent in make gcc g++ cmake python3; do
  [ ! -e "$root/usr/bin/$absent" ] || fail "the fresh root already has $absent"
done

# The root a mount point of its own, as a container's is: unshare --mount
# (the full-disk test, the Slurm test) changes the propagation of /.
mount_in_root / --bind "$root"
mount_in_root /proc -t proc proc
# /sys with the cgroup hierarchies under it (slurmd needs them), its mounts
# slaves of the host's, so that unmounting them leaves the host's alone.
mount_in_root /sys --rbind /sys
mount --make-rslave "$root/sys"
mount_in_root /dev --bind /dev
mount_in_root /dev/pts --bind /dev/pts
mount_in_root /dev/shm -t tmpfs -o mode=1777 shm
if [ -n "${BRISEL_FRESH_CACHE:-}" ]; then
  mount_in_root /var/cache/apt/archives --bind "$BRISEL_FRESH_CACHE/apt"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
cp /etc/hosts "$root/etc/hosts"
if compgen -G '/usr/local/share/ca-certificates/*.crt' > /dev/null; then
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  chroot "$root" update-ca-certificates > "$work/certificates.log" 2>&1 ||
    { cat "$work/certificates.log" >&2; fail "update-ca-certificates"; }
fi
printf '#!/bin/sh\n# No service starts inside this root.\nexit 101\n' > "$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

# The repository as a newcomer clones it: its committed HEAD, on its branch.
git clone --quiet "$source_dir" "$root/root/brisel"
say "cloned $(git -C "$root/root/brisel" log --oneline -1 | cut -c1-72)"
[ -z "$(git -C "$source_dir" status --porcelain --untracked-files=no)" ] ||
  say "note: $source_dir has uncommitted changes; the clone has the committed HEAD only"

in_root() {  # COMMAND: runs COMMAND in the clone, as root in the fresh root, a login's environment
  chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c "cd /root/brisel && $1" < /dev/null
}

run_step() {  # NAME COMMAND: runs the Quick start's COMMAND, its output in WORK/NAME.log
  local name=$1 command=$2 started=$SECONDS
  say "running the Quick start's \`$command\` (output in $work/$name.log)"
  if ! in_root "$command" > "$work/$name.log" 2>&1; then
    tail -n 100 "$work/$name.log" >&2
    fail "\`$command\` failed after $(elapsed $((SECONDS - started)))"
  fi
  step_time=$((SECONDS - started))
  say "\`$command\` passed in $(elapsed "$step_time"); its output ends with:"
  tail -n 25 "$work/$name.log" | sed 's/^/    /'
}

run_step demo "$demo_command"
demo_time=$step_time
run_step test "$test_command"
test_time=$step_time

status=$(in_root 'git status --porcelain')
[ -z "$status" ] || fail "git status is not clean after the Quick start:
$status"

say "passed on a fresh Debian 12: debootstrap $(elapsed "$debootstrap_time")," \
  "\`$demo_command\` $(elapsed "$demo_time"), \`$test_command\` $(elapsed "$test_time")," \
  "in all $(elapsed $((SECONDS - started)))"
