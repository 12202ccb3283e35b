# SPDX-License-Identifier: MIT
"""Fixtures of the report's browser tests: the programs (from the environment
run_browser_tests.sh sets), one headless Chromium for the session, and the
reports of the sample data, each written by brisel-search --report beside the
TSV output of the same run."""

from __future__ import annotations

import os
import subprocess
from dataclasses import dataclass
from pathlib import Path

import pytest

import browser as chromium

ROOT = Path(__file__).resolve().parents[2]
DATA = ROOT / "data"
SEARCH = os.environ.get("BRISEL_SEARCH", str(ROOT / "build/bin/brisel-search"))
MAKEDB = os.environ.get("BRISEL_MAKEDB", str(ROOT / "build/bin/brisel-makedb"))
# Screenshots and the sample reports, kept for review.
OUTPUT = Path(os.environ.get("BRISEL_REPORT_OUTPUT", ROOT / "build/tests/report/output"))


@dataclass
class Hit:
    name: str
    start: int
    end: int
    record: str
    segment: str
    specificity: str
    expectation: str
    probability: str


def unescape(field: str) -> str:
    out, i = [], 0
    while i < len(field):
        if field[i] == "\\" and i + 1 < len(field):
            out.append({"t": "\t", "n": "\n", "r": "\r"}.get(field[i + 1], field[i + 1]))
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def read_tsv(path: Path) -> list[Hit]:
    hits = []
    # Rows end at "\n" alone: a name may hold U+0085 or U+2028, which splitlines takes for ends.
    for line in path.read_text(encoding="utf-8", errors="replace").split("\n"):
        if line.startswith("#") or not line:
            continue
        f = line.split("\t")
        hits.append(Hit(unescape(f[0]), int(f[1]), int(f[2]), unescape(f[3]), unescape(f[4]),
                        f[5], f[6], f[7]))
    return hits


def by_sequence(hits: list[Hit]) -> list[tuple[str, list[Hit]]]:
    """The runs of hits of one sequence, in the order of the TSV."""
    runs: list[tuple[str, list[Hit]]] = []
    for hit in hits:
        if not runs or runs[-1][0] != hit.name:
            runs.append((hit.name, []))
        runs[-1][1].append(hit)
    return runs


@dataclass
class Report:
    html: Path
    tsv: Path
    hits: list[Hit]


def single_line_fasta(fasta: Path, out: Path) -> None:
    """The records of `fasta` with each sequence on one line, for the scan search (-b -f)."""
    lines: list[str] = []
    for line in fasta.read_text().splitlines():
        if line.startswith(">"):
            lines += [line, ""]
        elif lines:
            lines[-1] += line.strip()
    out.write_text("\n".join(lines) + "\n")


def make_report(patterns: Path, fasta: Path, html: Path, *options: str,
                search: str = "direct") -> Report:
    """Searches `fasta` for the motifs of `patterns` with brisel-search -F tsv
    --report `html`, and keeps the TSV of that very run beside the report.
    `search`: "direct" (--patterns and --fasta), "indexed" (databases that
    brisel-makedb builds from the two files) or "scan" (-b -f over the records
    on single lines)."""
    html = html.resolve()
    tsv = html.with_suffix(".tsv")
    # The sample data by its path in the source tree, as the page shows it.
    patterns, fasta = (Path(os.path.relpath(path, ROOT)) if path.is_relative_to(ROOT) else path
                       for path in (patterns.resolve(), fasta.resolve()))
    if search == "direct":
        inputs = ["--patterns", str(patterns), "--fasta", str(fasta)]
    else:
        databases = html.parent / "databases"
        databases.mkdir(exist_ok=True)
        motifs, sequences = f"{databases / html.stem}-motifs", f"{databases / html.stem}-sequences"
        subprocess.run([MAKEDB, "motifs", "-q", str(patterns), motifs], check=True, cwd=ROOT)
        if search == "indexed":
            subprocess.run([MAKEDB, "sequences", "-q", str(fasta), sequences], check=True,
                           cwd=ROOT)
            inputs = ["-l", "-m", motifs, "-s", sequences]
        else:
            single = databases / f"{html.stem}.fa"
            single_line_fasta(ROOT / fasta, single)
            inputs = ["-l", "-b", "-f", "-m", motifs, "-s", str(single)]
    with open(tsv, "wb") as out:
        subprocess.run([SEARCH, *inputs, "-F", "tsv", "--report", str(html), *options],
                       stdout=out, stderr=subprocess.DEVNULL, check=True, cwd=ROOT)
    return Report(html, tsv, read_tsv(tsv))


@pytest.fixture(scope="session")
def output() -> Path:
    OUTPUT.mkdir(parents=True, exist_ok=True)
    return OUTPUT


@pytest.fixture(scope="session")
def samples(output: Path) -> dict[str, Report]:
    """The reports of the sample proteins searched directly with the PROSITE
    excerpt and with the site patterns (-e 9, so that every motif is tried),
    and with the site patterns by the indexed and the scan search."""
    fasta = DATA / "swissprot-100.fasta"
    return {name: make_report(DATA / patterns, fasta, output / f"sample-{name}.html", "-e", "9",
                              search=search)
            for name, patterns, search in (("prosite", "prosite-excerpt.dat", "direct"),
                                           ("sites", "site-patterns.txt", "direct"),
                                           ("sites-indexed", "site-patterns.txt", "indexed"),
                                           ("sites-scan", "site-patterns.txt", "scan"))}


@pytest.fixture(scope="session")
def driver():
    why = chromium.missing()
    if why:
        pytest.skip(why)
    d = chromium.start()
    yield d
    d.quit()


@pytest.fixture
def page(driver):
    """Opens a report; afterwards, checks that the console had no errors."""
    def open_page(path: Path) -> float:
        chromium.console_errors(driver)  # what earlier pages left
        return chromium.open_report(driver, path)
    yield open_page
    assert chromium.console_errors(driver) == []
