# SPDX-License-Identifier: MIT
"""Fixtures of the report's browser tests: the programs (from the environment
run_browser_tests.sh sets), one headless Chromium for the session, and the
reports of the sample data."""

from __future__ import annotations

import os
import subprocess
from dataclasses import dataclass
from pathlib import Path

import pytest

import browser as chromium

ROOT = Path(__file__).resolve().parents[2]
DATA = ROOT / "data"
SEARCH = os.environ.get("BRISEL_SEARCH", str(ROOT / "build/src/brisel-search/brisel-search"))
TSV_TO_REPORT = os.environ.get("BRISEL_TSV_TO_REPORT", str(ROOT / "build/tests/report/tsv_to_report"))
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
    for line in path.read_text(encoding="utf-8", errors="replace").splitlines():
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


def make_report(patterns: Path, fasta: Path, html: Path, *options: str) -> Report:
    """Searches `fasta` for the motifs of `patterns` and writes the search's TSV
    beside the report `html` of that search. (Until brisel-search has
    --report, the report is written from the TSV by tsv_to_report.)"""
    tsv = html.with_suffix(".tsv")
    with open(tsv, "wb") as out:
        subprocess.run([SEARCH, "--patterns", str(patterns), "--fasta", str(fasta), "-F", "tsv",
                        *options], stdout=out, stderr=subprocess.DEVNULL, check=True)
    write_report(tsv, html, "--fasta", str(fasta), "--input", f"motifs: {patterns.name}",
                 "--input", f"sequences: {fasta.name}", "--option", " ".join(options))
    return Report(html, tsv, read_tsv(tsv))


def write_report(tsv: Path, html: Path, *arguments: str) -> None:
    """tsv_to_report's report of a TSV file."""
    subprocess.run([TSV_TO_REPORT, *arguments, str(tsv), str(html)], check=True)


@pytest.fixture(scope="session")
def output() -> Path:
    OUTPUT.mkdir(parents=True, exist_ok=True)
    return OUTPUT


@pytest.fixture(scope="session")
def samples(output: Path) -> dict[str, Report]:
    """The reports of the sample proteins searched with the PROSITE excerpt
    and with the site patterns (-e 9, so that every hit is kept)."""
    fasta = DATA / "swissprot-100.fasta"
    return {name: make_report(DATA / patterns, fasta, output / f"sample-{name}.html", "-e", "9")
            for name, patterns in (("prosite", "prosite-excerpt.dat"),
                                   ("sites", "site-patterns.txt"))}


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
