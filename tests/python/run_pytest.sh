#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs the Python tests (tests/python/) with the pytest of the project's
# environment, where `make test` has installed the package (pip install .);
# the programs they compare with are the ones that install put on the
# environment's PATH. Exit status 77 (skipped) when the environment has no
# brisel module.
#
#   run_pytest.sh VENV WRITE_TEST_DATABASES
set -euo pipefail
venv=$1 writer=$2
if ! [ -x "$venv/bin/python" ] || ! "$venv/bin/python" -c 'import brisel' 2> /dev/null; then
  echo "SKIPPED: no brisel module in $venv (make test installs it)"
  exit 77
fi
export BRISEL_WRITE_TEST_DATABASES=$writer
cd "$(dirname "$0")/../.."
exec "$venv/bin/python" -m pytest -q -rs -p no:cacheprovider tests/python
