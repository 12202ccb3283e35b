#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# test_package.sh PKG_BUILD DEMO_OUTPUT: checks the Debian package that
# `make package` wrote into PKG_BUILD, on this machine, as root.
#
# lintian must report no error; the package is installed with dpkg -i; the
# installed brisel-makedb builds the sample databases into the data directories
# under the default names, and the installed brisel-search, run with no
# options, must write DEMO_OUTPUT (what `make demo` prints) byte for byte. Then
# the package is purged: every file of it must be gone, and the directories
# that stay must be the two data directories, which dpkg keeps because they
# still hold the databases (the package leaves databases alone: they are the
# administrator's data). The test removes those databases itself.
#
# The test refuses to run over a brisel that it did not install, and over data
# directories that hold anything. It cleans up on every exit; a marker file
# records a run in progress, so that a run killed outright is cleaned up by the
# next one.
set -euo pipefail

if [ "$#" -ne 2 ]; then
  echo "usage: $0 PKG_BUILD DEMO_OUTPUT" >&2
  exit 2
fi
pkg_build=$1
demo_output=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

package=brisel
data_root=/usr/share/corvane/lumisca_brisel
motif_dir=$data_root/brisels
sequence_dir=$data_root/sequences
marker=/var/tmp/brisel-package-test.running

fail() {
  echo "test_package: $*" >&2
  exit 1
}

[ "$(id -u)" -eq 0 ] || fail "must run as root (it installs the package with dpkg -i)"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$pkg_build/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in $pkg_build/CMakeCache.txt"
deb=$pkg_build/${package}_${version}_amd64.deb
[ -f "$deb" ] || fail "$deb: no such package (run make package)"
[ -f "$demo_output" ] || fail "$demo_output: no such file"

# dpkg with its arguments, waiting while another dpkg or apt holds the lock
# (other jobs may install packages on the same machine), up to ten minutes.
run_dpkg() {
  local tries=0 out
  while :; do
    if out=$(dpkg "$@" 2>&1); then
      printf '%s\n' "$out"
      return 0
    fi
    if ! grep -q 'lock' <<< "$out" || [ "$tries" -ge 120 ]; then
      printf '%s\n' "$out" >&2
      return 1
    fi
    tries=$((tries + 1))
    sleep 5
  done
}

installed() {
  dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null | grep -qv '^not-installed$'
}

# Takes the system back to where it was before the test: the package purged,
# the databases the test built removed, and the data directories with them
# unless another package owns them.
restore() {
  if installed; then
    run_dpkg --purge "$package" > /dev/null || true
  fi
  rm -f "$motif_dir"/tallowmere-* "$sequence_dir"/sprot-*
  local dir
  for dir in "$motif_dir" "$sequence_dir" "$data_root" "$(dirname "$data_root")"; do
    if [ -d "$dir" ] && ! dpkg -S "$dir" > /dev/null 2>&1; then
      rmdir "$dir" 2> /dev/null || true
    fi
  done
  rm -f "$marker"
}

if [ -e "$marker" ]; then
  echo "test_package: cleaning up after an interrupted run"
  restore
fi
if installed; then
  fail "package $package is installed already; the test would replace it (dpkg --purge $package)"
fi
for dir in "$motif_dir" "$sequence_dir"; do
  if [ -d "$dir" ] && [ -n "$(ls -A "$dir")" ]; then
    fail "$dir is not empty; the test would build databases into it"
  fi
done

work=$(mktemp -d)
touch "$marker"
cleanup() {
  local status=$?
  restore
  rm -rf "$work"
  if [ "$status" -ne 0 ]; then
    echo "test_package: FAILED" >&2
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "== lintian $deb"
lintian --fail-on error --display-info --pedantic "$deb" || fail "lintian reports an error"

echo "== the package's version is the project's, $version"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
dpkg-deb -x "$deb" "$work/contents"
changelog_version=$(zcat "$work/contents/usr/share/doc/$package/changelog.gz" |
                    sed -n '1s/^[a-z0-9.+-]* (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] ||
  fail "the changelog's latest entry is for version '$changelog_version', not $version"

echo "== dpkg -i"
run_dpkg -i "$deb"
dpkg -L "$package" > "$work/files"

for program in brisel-search brisel-makedb; do
  [ "$(/usr/bin/$program --version)" = "$program $version" ] ||
    fail "/usr/bin/$program --version does not print '$program $version'"
done
for dir in "$motif_dir" "$sequence_dir"; do
  grep -qx "$dir" "$work/files" || fail "the package does not hold $dir"
  [ -z "$(ls -A "$dir")" ] || fail "$dir is not empty after the install"
done

echo "== the sample databases, built by the installed brisel-makedb"
/usr/bin/brisel-makedb sequences "$source_dir/data/swissprot-100.fasta" "$sequence_dir/sprot"
/usr/bin/brisel-makedb motifs "$source_dir/data/prosite-excerpt.dat" "$motif_dir/tallowmere"

echo "== /usr/bin/brisel-search with no options"
status=0
(cd "$work" && /usr/bin/brisel-search > "$work/search.out" 2> /dev/null) || status=$?
[ "$status" -eq 0 ] || fail "/usr/bin/brisel-search exited with status $status"
cmp "$demo_output" "$work/search.out" || fail "the output differs from make demo's"
echo "$(wc -l < "$work/search.out") lines, the same as make demo's"

echo "== dpkg --purge"
run_dpkg --purge "$package"
installed && fail "$package is still known to dpkg after the purge"
left=()
while IFS= read -r path; do
  if [ -e "$path" ] || [ -L "$path" ]; then
    # Directories shared with other packages (/usr/bin, ...) stay, as do the
    # data directories that hold the databases, and their parents.
    if [ -d "$path" ] && dpkg -S "$path" > /dev/null 2>&1; then continue; fi
    case "$path" in
      "$data_root" | "$(dirname "$data_root")" | "$motif_dir" | "$sequence_dir") continue ;;
    esac
    left+=("$path")
  fi
done < "$work/files"
[ "${#left[@]}" -eq 0 ] || fail "left after the purge: ${left[*]}"
if [ ! -f "$motif_dir/tallowmere-stats" ] || [ ! -f "$sequence_dir/sprot-stats" ]; then
  fail "the purge removed the databases built into the data directories"
fi

restore
for dir in "$motif_dir" "$sequence_dir" "$data_root" "$(dirname "$data_root")"; do
  [ ! -e "$dir" ] || fail "$dir is left after removing the test's databases"
done
echo "== package test passed"
