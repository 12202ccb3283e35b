# SPDX-License-Identifier: MIT
"""The package as installed: one version everywhere, the programs on the
environment's PATH, type stubs that agree with the module, the package, its
tests and the README's example clean under mypy --strict, a docstring on
every public name, and the README's Python example running as written."""

from __future__ import annotations

import importlib.metadata
import inspect
import os
import re
import shutil
import subprocess
import sys
from pathlib import Path

import brisel
from conftest import BIN, ROOT, run


def project_version() -> str:
    match = re.search(r"project\(brisel VERSION ([0-9.]+)", (ROOT / "CMakeLists.txt").read_text())
    assert match
    return match.group(1)


def test_one_version_and_the_programs_on_the_path() -> None:
    version = project_version()
    assert brisel.__version__ == version
    assert importlib.metadata.version("brisel") == version
    path = os.pathsep.join([str(BIN), "/usr/bin", "/bin"])
    for program in ("brisel-search", "brisel-makedb"):
        assert shutil.which(program, path=path) == str(BIN / program)
        assert run(program, "--version").stdout.decode() == f"{program} {version}\n"


def test_the_package_and_its_use_type_check(tmp_path: Path) -> None:
    # The package against the stubs of its extension (generated from the built
    # module, brisel/_brisel.pyi), and the README's example against the package.
    # So are the tests themselves and the Python benchmarks.
    example = tmp_path / "example.py"
    example.write_text(readme_example())
    tests = Path(__file__).parent
    for target in (["-p", "brisel"], [str(example)],
                   [str(tests), str(ROOT / "bench/python_pickle.py")]):
        checked = subprocess.run([sys.executable, "-m", "mypy", "--strict", "--no-incremental",
                                  *target], capture_output=True, text=True, cwd=tmp_path,
                                 env={**os.environ, "MYPYPATH": str(tests)})
        assert checked.returncode == 0, checked.stdout + checked.stderr
    package = Path(brisel.__file__).parent
    assert (package / "py.typed").exists() and (package / "_brisel.pyi").exists()


def test_every_public_name_has_a_docstring() -> None:
    assert brisel.__doc__
    for name in brisel.__all__:
        value = getattr(brisel, name)
        if getattr(value, "__module__", None) == "typing":
            continue  # a type alias: documented by its #: comment (the API reference shows it)
        assert inspect.getdoc(value), name
        if inspect.isclass(value):
            for member, attribute in vars(value).items():
                if member.startswith("_") and member not in ("__len__", "__iter__",
                                                             "__getitem__", "__enter__",
                                                             "__exit__"):
                    continue
                assert inspect.getdoc(attribute) or isinstance(attribute, str), \
                    f"{name}.{member}"


def readme_example() -> str:
    """The first ```python block of the README's "Python" section."""
    readme = (ROOT / "README.md").read_text()
    section = readme[readme.index("\n## Python\n"):]
    match = re.search(r"```python\n(.*?)```", section, re.S)
    assert match
    return match.group(1)


def test_the_readme_example_runs_as_written(tmp_path: Path) -> None:
    # The repository's root, as far as the example sees it.
    (tmp_path / "data").symlink_to(ROOT / "data")
    result = subprocess.run([sys.executable, "-c", readme_example()], cwd=tmp_path,
                            capture_output=True, text=True)
    assert result.returncode == 0, result.stderr
    assert "PS00237 G_PROTEIN_RECEP_F1_1" in result.stdout
