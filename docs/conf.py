# SPDX-License-Identifier: MIT
# The documentation site: Sphinx, with MyST for the Markdown the repository
# already has (the command-line reference is README.md's, the benchmarks
# bench/README.md's), autodoc for the API reference (the package's
# docstrings), and doctest, which runs every example of every page. It
# documents the package installed in the Python that runs sphinx-build
# (`make docs` uses the project's .venv) and runs from the repository's root,
# where the examples find data/.
from __future__ import annotations

import os
import subprocess
import sys
from pathlib import Path

import brisel

ROOT = Path(__file__).resolve().parents[1]
os.chdir(ROOT)

project = "brisel"
copyright = "the brisel developers (MIT licence)"
release = version = brisel.__version__

extensions = ["sphinx.ext.autodoc", "sphinx.ext.doctest", "sphinx.ext.napoleon", "myst_parser"]
source_suffix = {".rst": "restructuredtext", ".md": "markdown"}
exclude_patterns = ["_build", "_generated", "images"]
myst_heading_anchors = 3
suppress_warnings = ["myst.header"]
html_theme = "alabaster"
autodoc_member_order = "bysource"
autodoc_typehints = "signature"
autodoc_default_options = {"members": True, "show-inheritance": True}

# The programs' --help, from the programs installed beside this Python.
generated = Path(__file__).parent / "_generated"
generated.mkdir(exist_ok=True)
for program in ("brisel-search", "brisel-makedb"):
    text = subprocess.run([str(Path(sys.executable).parent / program), "--help"],
                          capture_output=True, text=True, check=True).stdout
    target = generated / f"{program}.txt"
    if not target.exists() or target.read_text() != text:
        target.write_text(text)

# Every example starts from these names; each page's examples share a work
# directory that is removed afterwards.
doctest_global_setup = """
import tempfile
import brisel
motifs = brisel.MotifDatabase.build([("R-G-D", "PS00016 RGD"), "N-{P}-[ST]-{P}"])
_work = tempfile.TemporaryDirectory()
work = _work.name
"""
doctest_global_cleanup = "_work.cleanup()"
