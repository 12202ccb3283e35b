#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `pip install SOURCE` into a new virtual environment, as a user installs the
# package: the build requirements come from PyPI, the module and both
# programs are built once from the CMake project, `import brisel` works, the
# environment's PATH has brisel-search and brisel-makedb, and the module, the
# wheel and both programs have the CMake project's version. Exit status 77
# (skipped) when python3 has no venv module.
#
#   fresh_install_test.sh SOURCE_DIR PROJECT_VERSION
set -euo pipefail
source_dir=$1 version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

python3 -m venv "$work/venv" 2> /dev/null || { echo "SKIPPED: python3 has no venv module"; exit 77; }
"$work/venv/bin/python" -m pip install --quiet "$source_dir" > "$work/pip.log" 2>&1 ||
  { cat "$work/pip.log" >&2; fail "pip install $source_dir"; }

# Only the environment's programs: what activating it gives.
export PATH="$work/venv/bin:/usr/bin:/bin"
for program in brisel-search brisel-makedb; do
  [ "$(command -v $program)" = "$work/venv/bin/$program" ] || fail "$program is not on the PATH"
  [ "$($program --version)" = "$program $version" ] || fail "$program --version: $($program --version)"
done
cd "$work"
python - "$version" << 'PYTHON' || fail "the module's version or a search"
import importlib.metadata, sys
import brisel
version = sys.argv[1]
assert brisel.__version__ == version, brisel.__version__
assert importlib.metadata.version("brisel") == version, importlib.metadata.version("brisel")
motifs = brisel.MotifDatabase.build(["C-x-C"])
assert len(brisel.search(motifs, [("s", "ACACA")])) == 1
PYTHON
echo "pip install in a fresh environment: module and programs $version"
