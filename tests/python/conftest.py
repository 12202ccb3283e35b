# SPDX-License-Identifier: MIT
"""Fixtures of the Python tests: the sample data, the installed programs, and
random databases of the kind the engine's property test searches."""

from __future__ import annotations

import os
import random
import subprocess
import sys
from dataclasses import dataclass, field
from pathlib import Path

import pytest

ROOT = Path(__file__).resolve().parents[2]
DATA = ROOT / "data"
# The programs `pip install .` put beside the environment's python.
BIN = Path(sys.executable).parent


def run(program: str, *args: str, check: bool = True) -> subprocess.CompletedProcess[bytes]:
    """Runs an installed program; its output as bytes."""
    result = subprocess.run([str(BIN / program), *args], capture_output=True)
    if check and result.returncode != 0:
        raise AssertionError(f"{program} {args}: {result.returncode} {result.stderr!r}")
    return result


def read_fasta(path: Path) -> list[tuple[str, str]]:
    """(title without '>', residues) of each record of a plain FASTA file."""
    records: list[tuple[str, str]] = []
    for line in path.read_text().splitlines():
        if line.startswith(">"):
            records.append((line[1:], ""))
        elif line.strip():
            name, residues = records[-1]
            records[-1] = (name, residues + line.strip())
    return records


def read_patterns(path: Path) -> list[tuple[str, str]]:
    """(pattern, record) of each line of a pattern list."""
    entries = []
    for line in path.read_text().splitlines():
        if not line.strip() or line.lstrip().startswith("#"):
            continue
        pattern, *record = line.split(None, 1)
        entries.append((pattern, record[0].strip() if record else ""))
    return entries


@pytest.fixture(scope="session")
def sample(tmp_path_factory: pytest.TempPathFactory) -> Path:
    """The sample databases built by brisel-makedb: sprot, prosite and sites."""
    directory = tmp_path_factory.mktemp("sample")
    run("brisel-makedb", "sequences", "-q", str(DATA / "swissprot-100.fasta"),
        str(directory / "sprot"))
    run("brisel-makedb", "motifs", "-q", str(DATA / "prosite-excerpt.dat"),
        str(directory / "prosite"))
    run("brisel-makedb", "motifs", "-q", str(DATA / "site-patterns.txt"), str(directory / "sites"))
    return directory


# ---- Random databases ------------------------------------------------------------

LETTERS = {chr(ord("A") + i): 1 << i for i in range(26)}
ALL_LETTERS = (1 << 26) - 1


def letters(text: str) -> int:
    mask = 0
    for c in text:
        mask |= LETTERS[c.upper()]
    return mask


@dataclass
class RandomCase:
    """Motifs with masks of several letters, of none, of all or with bits beyond
    the letters, anchored ones, records with '|' and bytes that tsv and gff3
    escape; sequences with lower case, B/J/O/U/X/Z and bytes that are no
    letters; and a cut-off that stops mid-list or -e 9."""

    seed: int
    random: random.Random = field(init=False)
    sequences: list[tuple[bytes, bytes]] = field(default_factory=list)
    motifs: list[str] = field(default_factory=list)  # description lines
    cutoff: int = -2

    def __post_init__(self) -> None:
        self.random = random.Random(self.seed)
        r = self.random
        for i in range(r.randint(1, 12)):
            name = f"seq{i}" + (" desc" if r.randint(0, 3) == 0 else "")
            name_bytes = self.awkward(False) if r.randint(0, 5) == 0 else name.encode()
            length = r.randint(0, 6) if r.randint(0, 4) == 0 else r.randint(1, 160)
            text = "".join(r.choice("BJOUXZacgk*-1 ") if r.randint(0, 12) == 0
                           else r.choice("ACDEGKLST") for _ in range(length))
            # The scan search reads single-line FASTA, which has no line for an
            # empty sequence: give it one residue that is no letter.
            self.sequences.append((name_bytes, (text or "*").encode()))
        many = r.randint(0, 5) == 0
        anchored = r.randint(0, 2) == 0
        for m in range(r.randint(300, 700) if many else r.randint(1, 40)):
            self.motifs.append(self.motif(m, anchored))
        self.cutoff = 9 if r.randint(0, 4) == 0 else r.randint(-4, 1)

    def awkward(self, newlines: bool) -> bytes:
        pieces = [b"\t", b"%", b";", b"=", b"&", b",", b"\\", b"\r", b" ", b">", b"|", b"\x01",
                  b"\x7f", b"A", "é".encode(), b"x y"]
        text = b"".join(self.random.choice(pieces) for _ in range(self.random.randint(0, 6)))
        if newlines and self.random.randint(0, 2) == 0:
            at = self.random.randint(0, len(text))
            text = text[:at] + b"\n" + text[at:]
        return text

    def motif(self, m: int, anchored: bool) -> str:
        r = self.random
        width = 1 if r.randint(0, 6) == 0 else r.randint(2, 9)
        masks = []
        for _ in range(width):
            allowed = letters("".join(r.choice("ACDEGKLSTXZ") for _ in range(r.randint(1, 3))))
            kind = r.randint(0, 60)
            masks.append(0 if kind == 0 else ALL_LETTERS if kind == 1
                         else allowed | 0x80000000 if kind == 2
                         else ALL_LETTERS & ~allowed if kind < 8 else allowed)
        homing_position = r.randint(0, width - 1)
        homing = r.randint(0, 12)
        homing_mask = (0 if homing == 0 else letters(r.choice("ACDEGKLSTXZ")) if homing == 1
                       else masks[homing_position])
        specificity = 10.0 ** -r.uniform(0.3, 19)
        correction = r.uniform(0.0, width * specificity)
        record = f"m{m}".encode() + (b" rec|x" if r.randint(0, 9) == 0 else b"")
        if r.randint(0, 7) == 0:
            record = self.awkward(True)
        anchor = r.randint(1, 3) if anchored and r.randint(0, 2) == 0 else 0
        return " ".join(["motif", str(anchor), str(homing_mask), str(homing_position),
                         specificity.hex(), correction.hex(), (-3.0).hex(), hexed(record),
                         *map(str, masks)])

    def write(self, directory: Path) -> tuple[Path, Path, Path]:
        """The motif and sequence databases, and the sequences as single-line FASTA."""
        lines = self.motifs + [f"sequence {hexed(name)} {hexed(text)}"
                               for name, text in self.sequences]
        subprocess.run([str(Path(os.environ["BRISEL_WRITE_TEST_DATABASES"]).resolve()),
                        str(directory / "motifs"),
                        str(directory / "sequences")], input="\n".join(lines).encode(),
                       check=True)
        fasta = directory / "input.fa"
        fasta.write_bytes(b"".join(b">" + name + b"\n" + text + b"\n"
                                   for name, text in self.sequences))
        return directory / "motifs", directory / "sequences", fasta


def hexed(text: bytes) -> str:
    return text.hex() or "-"


@pytest.fixture
def random_case_writer(tmp_path: Path):  # type: ignore[no-untyped-def]
    if "BRISEL_WRITE_TEST_DATABASES" not in os.environ:
        pytest.skip("needs BRISEL_WRITE_TEST_DATABASES (run_pytest.sh sets it)")

    def write(seed: int) -> tuple[RandomCase, Path, Path, Path]:
        case = RandomCase(seed)
        directory = tmp_path / str(seed)
        directory.mkdir()
        return (case, *case.write(directory))

    return write
