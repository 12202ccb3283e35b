# SPDX-License-Identifier: MIT
"""Databases built from Python are file for file those brisel-makedb builds
from the same input: motifs from files and from (pattern, record) pairs,
sequences from FASTA (plain and gzip) and from str, bytes, pairs and
SeqRecord-like objects, shards included (a shard set opened as one searches
as the single database); a motif database in memory searches as the written
one does."""

from __future__ import annotations

import gzip
from pathlib import Path
from typing import Any, Iterator

import pytest

import brisel
from conftest import DATA, read_fasta, read_patterns, run


def database_files(directory: Path, root: str) -> dict[str, bytes]:
    """The files of the databases at `root` (shards and manifest included), by
    their names after the root; a manifest's lines too."""
    files = {}
    for path in sorted(directory.iterdir()):
        if path.name.startswith(root + "-") or path.name.startswith(root + "."):
            content = path.read_bytes()
            if path.name.endswith(".shards"):
                content = content.replace(root.encode() + b".", b"ROOT.")
            files[path.name[len(root):]] = content
    assert files, f"no database at {root}"
    return files


def test_motifs_from_files_and_pairs(tmp_path: Path) -> None:
    for source in ("site-patterns.txt", "prosite-excerpt.dat"):
        run("brisel-makedb", "motifs", "-q", str(DATA / source), str(tmp_path / "expected"))
        brisel.MotifDatabase.build(DATA / source, tmp_path / "built")
        assert database_files(tmp_path, "built") == database_files(tmp_path, "expected")
    pairs = read_patterns(DATA / "site-patterns.txt")
    run("brisel-makedb", "motifs", "-q", str(DATA / "site-patterns.txt"), str(tmp_path / "sites"))
    for entries in (pairs, [(p, r or None) for p, r in pairs], [p for p, _ in pairs]):
        if entries and isinstance(entries[0], str):  # records default to the pattern
            listed = tmp_path / "bare.txt"
            listed.write_text("\n".join(entries) + "\n")
            run("brisel-makedb", "motifs", "-q", str(listed), str(tmp_path / "sites"))
        brisel.MotifDatabase.build(entries, tmp_path / "pairs")
        assert database_files(tmp_path, "pairs") == database_files(tmp_path, "sites")
    in_memory = brisel.MotifDatabase.build(pairs, keep_order=True)
    assert in_memory.root is None and len(in_memory) > len(pairs)
    assert list(dict.fromkeys(in_memory.records)) == [record for _, record in pairs]


def test_a_motif_database_in_memory_searches_as_the_written_one(sample: Path) -> None:
    in_memory = brisel.MotifDatabase.build(str(DATA / "site-patterns.txt"))
    written = brisel.MotifDatabase.open(sample / "sites")
    sequences = brisel.SequenceDatabase.open(sample / "sprot")
    assert (brisel.search(in_memory, sequences, cutoff=9).to_bytes()
            == brisel.search(written, sequences, cutoff=9).to_bytes())


class SeqRecordLike:
    """What Biopython's SeqIO gives for a FASTA record: id is the title's first
    word, description the whole title, seq an object whose str is the residues."""

    class Seq:
        def __init__(self, residues: str) -> None:
            self.residues = residues

        def __str__(self) -> str:
            return self.residues

    def __init__(self, title: str, residues: str) -> None:
        self.id = title.split()[0] if title.split() else ""
        self.description = title
        self.seq = SeqRecordLike.Seq(residues)


def test_sequences_from_fasta_and_python_objects(tmp_path: Path) -> None:
    fasta = DATA / "swissprot-100.fasta"
    run("brisel-makedb", "sequences", "-q", str(fasta), str(tmp_path / "expected"))
    expected = database_files(tmp_path, "expected")
    with gzip.open(tmp_path / "in.fa.gz", "wb") as packed:
        packed.write(fasta.read_bytes())
    records = read_fasta(fasta)
    sources: dict[str, Any] = {
        "path": fasta,
        "gzip": str(tmp_path / "in.fa.gz"),
        "pairs": records,
        "bytes pairs": [(name.encode(), residues.encode()) for name, residues in records],
        "seqrecords": [SeqRecordLike(name, residues) for name, residues in records],
        "a generator": ((name, residues[:30] + "\n " + residues[30:]) for name, residues in records),
    }
    for kind, source in sources.items():
        with brisel.SequenceDatabase.build(source, tmp_path / "built") as built:
            assert len(built) == 100, kind
        assert database_files(tmp_path, "built") == expected, kind
    # Sequences without names: str and bytes, as records of empty title lines.
    (tmp_path / "nameless.fa").write_text("".join(f">\n{residues}\n" for _, residues in records))
    run("brisel-makedb", "sequences", "-q", str(tmp_path / "nameless.fa"), str(tmp_path / "raw"))
    residues = [r for _, r in records]
    for source in (residues, [r.encode() for r in residues]):
        brisel.SequenceDatabase.build(source, tmp_path / "built")
        assert database_files(tmp_path, "built") == database_files(tmp_path, "raw")


def test_shards(tmp_path: Path) -> None:
    fasta = DATA / "swissprot-100.fasta"
    run("brisel-makedb", "sequences", "-q", "--shards", "3", str(fasta), str(tmp_path / "expected"))
    records = read_fasta(fasta)
    for source in (fasta, records):
        shards = brisel.SequenceDatabase.build_shards(source, tmp_path / "built", shards=3)
        assert [len(s) for s in shards] == [len(s) for s in
                                            brisel.SequenceDatabase.open_shards(tmp_path / "expected")]
        assert database_files(tmp_path, "built") == database_files(tmp_path, "expected")
    # The set opened as one database searches as the single database does.
    single = brisel.SequenceDatabase.build(fasta, tmp_path / "single")
    whole = brisel.SequenceDatabase.open(tmp_path / "expected.shards")
    assert (whole.shards, len(whole), single.shards) == (3, 100, 0)
    assert single.build_identity is None
    first_line = (tmp_path / "expected.shards").read_text().split("\n")[0]
    assert first_line == "#build " + str(whole.build_identity)
    assert [whole.name(s) for s in (0, 50, 99)] == [single.name(s) for s in (0, 50, 99)]
    motifs = brisel.MotifDatabase.build(DATA / "site-patterns.txt")
    assert (brisel.search(motifs, whole, cutoff=9, threads=3).to_bytes("tsv")
            == brisel.search(motifs, single, cutoff=9).to_bytes("tsv"))
    shards = brisel.SequenceDatabase.build_shards(records, tmp_path / "sized", shard_size=20000)
    assert len(shards) > 1 and sum(len(s) for s in shards) == 100
    with pytest.raises(ValueError, match="not an iterator"):
        brisel.SequenceDatabase.build_shards(iter(records), tmp_path / "x", shards=2)
    with pytest.raises(ValueError, match="one of shards and shard_size"):
        brisel.SequenceDatabase.build_shards(records, tmp_path / "x")


def test_build_warnings_and_faults(tmp_path: Path) -> None:
    with pytest.warns(brisel.BuildWarning, match=r"<patterns>:2: warning: pattern .* expands into"):
        brisel.MotifDatabase.build(["C-x-C", "C-x(0,10)-C-x(0,10)-C-x(0,10)-C"])
    with pytest.raises(ValueError, match=r"^<patterns>:2:\d+: .* in pattern 'C-x-Q\('$"):
        brisel.MotifDatabase.build(["C-x-C", "C-x-Q("], tmp_path / "bad")
    with pytest.raises(ValueError, match=r"^<sequences>:2: a NUL byte in the sequence of record 'b'$"):
        brisel.SequenceDatabase.build([("a", "MK"), ("b", "M\0K")], tmp_path / "bad")
    with pytest.raises(TypeError, match="sequence 2: expected a str, bytes, .* not int"):
        brisel.SequenceDatabase.build(["MK", 7], tmp_path / "bad")  # type: ignore[list-item]
    with pytest.raises(FileNotFoundError, match=r"^" + str(tmp_path / "missing.fa") + ": cannot open"):
        brisel.SequenceDatabase.build(tmp_path / "missing.fa", tmp_path / "bad")

    def failing() -> Iterator[tuple[str, str]]:
        yield ("a", "MK")
        raise RuntimeError("the reader broke")

    with pytest.raises(RuntimeError, match="the reader broke"):
        brisel.SequenceDatabase.build(failing(), tmp_path / "bad")
    assert sorted(p.name for p in tmp_path.iterdir()) == [], "a failed build writes nothing"


def test_a_rebuild_replaces_an_open_database(tmp_path: Path) -> None:
    old = brisel.SequenceDatabase.build([("a", "MKTAYIAK")], tmp_path / "db")
    new = brisel.SequenceDatabase.build([("b", "WW"), ("c", "CC")], tmp_path / "db")
    assert (old.name(0), len(old)) == ("a", 1)  # the old mapping stays whole
    assert (new.name(1), new.sequence(1), len(new)) == ("c", "CC", 2)
