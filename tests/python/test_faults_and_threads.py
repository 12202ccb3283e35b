# SPDX-License-Identifier: MIT
"""Faults are Python exceptions with the programs' messages, and a damaged
database raises without harm; searches release the GIL, Ctrl-C ends a long
one within a second, and two Python threads may search one database."""

from __future__ import annotations

import gzip
import os
import signal
import threading
import time
from pathlib import Path

import pytest

import brisel
from conftest import DATA, read_fasta, run


def program_fault(*args: str) -> str:
    """brisel-search's one line of fault, without the program's name."""
    result = run("brisel-search", "-l", *args, check=False)
    assert result.returncode == 1
    line = result.stderr.decode().strip().splitlines()[-1]
    assert line.startswith("brisel-search: ")
    return line[len("brisel-search: "):]


def test_missing_and_damaged_databases(sample: Path, tmp_path: Path) -> None:
    missing = tmp_path / "missing"
    with pytest.raises(FileNotFoundError) as raised:
        brisel.SequenceDatabase.open(missing)
    assert str(raised.value) == program_fault("-m", str(sample / "prosite"), "-s", str(missing))
    with pytest.raises(FileNotFoundError):
        brisel.MotifDatabase.open(missing)

    for block, damage in (("-stats", b"100\n"), ("-textSequences.bin", b"")):
        damaged = tmp_path / "damaged"
        for path in sample.iterdir():
            if path.name.startswith("sprot-"):
                (tmp_path / path.name.replace("sprot", "damaged")).write_bytes(path.read_bytes())
        (tmp_path / ("damaged" + block)).write_bytes(damage)
        with pytest.raises(ValueError) as refused:
            brisel.SequenceDatabase.open(damaged)
        assert str(refused.value) == program_fault("-m", str(sample / "prosite"), "-s", str(damaged))
    motifs = tmp_path / "motifs"
    for path in sample.iterdir():
        if path.name.startswith("sites-"):
            (tmp_path / path.name.replace("sites", "motifs")).write_bytes(path.read_bytes())
    offsets = (tmp_path / "motifs-offsets.bin").read_bytes()
    (tmp_path / "motifs-offsets.bin").write_bytes(offsets[:-4] + b"\xff\xff\xff\x7f")
    with pytest.raises(ValueError) as refused:
        brisel.MotifDatabase.open(motifs)
    assert str(refused.value) == program_fault("-m", str(motifs), "-s", str(sample / "sprot"))


def test_closed_databases_and_bad_arguments(sample: Path) -> None:
    motifs = brisel.MotifDatabase.open(sample / "prosite")
    with brisel.SequenceDatabase.open(sample / "sprot") as sequences:
        pass
    assert sequences.closed
    with pytest.raises(ValueError, match="closed"):
        brisel.search(motifs, sequences)
    with pytest.raises(ValueError, match="invalid thread count '0'"):
        brisel.search(motifs, ["MK"], threads=0)
    with pytest.raises(ValueError, match="invalid thread count '4097'"):
        brisel.search(motifs, ["MK"], threads=4097)
    with pytest.raises(TypeError, match="cutoff"):
        brisel.search(motifs, ["MK"], cutoff=0.5)  # type: ignore[arg-type]
    with pytest.raises(TypeError, match="sequence 1: expected"):
        brisel.search(motifs, [3.5])  # type: ignore[list-item]
    with pytest.raises(IndexError):
        motifs.record(len(motifs))


def test_a_failed_write_raises_oserror(sample: Path) -> None:
    hits = brisel.search(brisel.MotifDatabase.open(sample / "sites"),
                         brisel.SequenceDatabase.open(sample / "sprot"), cutoff=9)
    if not os.path.exists("/dev/full"):
        pytest.skip("no /dev/full")
    with pytest.raises(OSError) as raised:
        hits.write("/dev/full")
    assert raised.value.errno == 28  # ENOSPC
    with open(os.devnull, "rb") as read_only, pytest.raises(OSError):
        hits.write(read_only)


def test_the_module_never_prints(sample: Path, capfd: pytest.CaptureFixture[str]) -> None:
    motifs = brisel.MotifDatabase.open(sample / "prosite")
    brisel.search(motifs, brisel.SequenceDatabase.open(sample / "sprot"), threads=2)
    with pytest.raises(ValueError):
        brisel.MotifDatabase.build(["C-x-Q("])
    brisel.MotifDatabase.build(DATA / "prosite-excerpt.dat")
    assert capfd.readouterr() == ("", "")


@pytest.fixture(scope="module")
def proteins() -> list[tuple[str, str]]:
    """3,000 real proteins, whose search at -e 9 takes a while."""
    with gzip.open(DATA / "proteins-3000.fasta.gz", "rt") as text:
        records: list[tuple[str, str]] = []
        for line in text:
            if line.startswith(">"):
                records.append((line[1:].rstrip("\n"), ""))
            else:
                records[-1] = (records[-1][0], records[-1][1] + line.strip())
    return records


def forever(records: list[tuple[str, str]]):  # type: ignore[no-untyped-def]
    while True:
        yield from records


@pytest.mark.parametrize("threads", [1, 2])
def test_ctrl_c_ends_a_long_search_within_a_second(proteins: list[tuple[str, str]],
                                                   threads: int) -> None:
    motifs = brisel.MotifDatabase.build(DATA / "site-patterns.txt")
    interrupted_at: list[float] = []

    def interrupt() -> None:
        time.sleep(0.5)
        interrupted_at.append(time.monotonic())
        signal.pthread_kill(threading.main_thread().ident, signal.SIGINT)  # type: ignore[arg-type]

    for search in (lambda: brisel.search(motifs, forever(proteins), cutoff=9, threads=threads),
                   lambda: list(brisel.search_chunks(motifs, forever(proteins), cutoff=9,
                                                     threads=threads))):
        interrupted_at.clear()
        threading.Thread(target=interrupt).start()
        with pytest.raises(KeyboardInterrupt):
            search()
        assert time.monotonic() - interrupted_at[0] < 1.0


def test_two_threads_search_one_database(sample: Path, tmp_path: Path,
                                         proteins: list[tuple[str, str]]) -> None:
    motifs = brisel.MotifDatabase.open(sample / "sites")
    sequences = brisel.SequenceDatabase.build(proteins, tmp_path / "proteins")
    expected = brisel.search(motifs, sequences, cutoff=9, threads=1).to_bytes()
    results: dict[int, bytes] = {}
    ticks = 0

    def search(k: int) -> None:
        results[k] = brisel.search(motifs, sequences, cutoff=9, threads=2).to_bytes()

    workers = [threading.Thread(target=search, args=(k,)) for k in range(2)]
    for worker in workers:
        worker.start()
    while any(worker.is_alive() for worker in workers):
        ticks += 1  # the main thread runs: the searches do not hold the GIL
        time.sleep(0.001)
    assert results == {0: expected, 1: expected}
    assert ticks > 10
