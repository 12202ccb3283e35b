#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the documentation site (docs/) with the Sphinx of the project's
# environment, warnings as errors, and runs every example in it (the pages'
# and the docstrings') as a doctest, against the package installed there.
# Exit status 77 (skipped) when the environment has no Sphinx or no brisel.
#
#   docs_test.sh VENV OUT_DIR
set -euo pipefail
venv=$1 out=$2
if ! "$venv/bin/python" -c 'import sphinx, myst_parser, brisel' 2> /dev/null; then
  echo "no sphinx, myst_parser or brisel in $venv (make test installs them): skipped"
  exit 77
fi
cd "$(dirname "$0")/../.."
for builder in html doctest; do
  "$venv/bin/python" -m sphinx -q -W --keep-going -b $builder docs "$out/$builder"
done
echo "documentation built in $out/html; its examples pass"
