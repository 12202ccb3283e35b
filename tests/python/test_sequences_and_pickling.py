# SPDX-License-Identifier: MIT
"""Hits are a sequence of Hit that slices, joins and pickles; the databases
are collections that pickle (a motif database in memory with its blocks, a
database on disk by its root) and go through a real ProcessPoolExecutor,
whose shard searches join into the single search; a streamed search's
chunks written one after the other are the search's bytes in every format."""

from __future__ import annotations

import collections.abc
import pickle
import random
from concurrent.futures import ProcessPoolExecutor
from pathlib import Path
from typing import Callable, Optional, TypeVar

import numpy as np
import pytest

import brisel
from conftest import DATA, read_fasta

FORMATS: tuple[brisel.Format, ...] = ("pipe", "tsv", "gff3")


def same_hits(a: brisel.Hits, b: brisel.Hits) -> None:
    assert len(a) == len(b)
    for format in FORMATS:
        assert a.to_bytes(format) == b.to_bytes(format), format
    for column in ("sequence", "motif", "start", "end", "expectation", "p_no_random_hit"):
        np.testing.assert_array_equal(getattr(a, column), getattr(b, column))
    assert a.names() == b.names() and a.segments() == b.segments()


def test_hits_slice_and_index_as_a_sequence(sample: Path) -> None:
    motifs = brisel.MotifDatabase.open(sample / "sites")
    records = read_fasta(DATA / "swissprot-100.fasta")
    indexed = brisel.search(motifs, brisel.SequenceDatabase.open(sample / "sprot"), cutoff=9)
    scanned = brisel.search(motifs, records, cutoff=9)
    r = random.Random(5)
    for hits in (indexed, scanned):
        assert isinstance(hits, collections.abc.Sequence)
        everything = list(hits)
        for _ in range(30):
            a, b = r.randint(-len(hits) - 5, len(hits) + 5), r.randint(-len(hits), len(hits) + 5)
            step = r.choice([1, 1, 2, 3, -1, -4])
            part = hits[a:b:step]
            assert isinstance(part, brisel.Hits) and list(part) == everything[a:b:step]
            assert part.cutoff == 9 and part.motifs.root == hits.motifs.root
        mask = hits.expectation < 1
        assert list(hits[mask]) == [h for h, keep in zip(everything, mask) if keep]
        rows = np.array([5, -1, 0, 5])
        assert list(hits[rows]) == [everything[k] for k in rows]
        assert hits[-1] == everything[-1] and hits.index(everything[3]) == 3
        # A slice of whole sequences writes the lines of those sequences.
        firsts = np.flatnonzero(np.diff(hits.sequence, prepend=-1))
        cut = int(firsts[len(firsts) // 2])
        for format in ("pipe", "gff3"):
            assert hits[:cut].to_bytes(format) + hits[cut:].to_bytes(format, header=False) \
                == hits.to_bytes(format)
        with pytest.raises(IndexError):
            hits[len(hits)]
        with pytest.raises(IndexError):
            hits[np.array([len(hits)])]
        with pytest.raises(TypeError, match="hits are indexed by"):
            hits["a"]  # type: ignore[call-overload]


@pytest.mark.parametrize("chunk_size", [1, 7, 1000])
def test_chunks_write_and_join_into_the_search(sample: Path, chunk_size: int) -> None:
    motifs = brisel.MotifDatabase.open(sample / "sites")
    records = read_fasta(DATA / "swissprot-100.fasta")
    for source in (brisel.SequenceDatabase.open(sample / "sprot"), records):
        whole = brisel.search(motifs, source, cutoff=9, threads=2)
        with brisel.search_chunks(motifs, source, cutoff=9, threads=2,
                                  chunk_size=chunk_size) as stream:
            chunks = list(stream)
        for chunk in chunks:  # whole sequences, at most chunk_size hits but for one sequence's
            assert len(chunk) <= chunk_size or len(set(chunk.sequence.tolist())) == 1
        for k in range(1, len(chunks)):
            assert chunks[k].sequence[0] != chunks[k - 1].sequence[-1]
        for format in FORMATS:
            joined = b"".join(c.to_bytes(format, header=k == 0) for k, c in enumerate(chunks))
            assert joined == whole.to_bytes(format), format
        same_hits(brisel.Hits.join(chunks), whole)


def search_shard(motif_root: str, shard_root: str) -> brisel.Hits:
    """A worker's search: its result goes back to the parent pickled."""
    with brisel.SequenceDatabase.open(shard_root) as shard:
        return brisel.search(brisel.MotifDatabase.open(motif_root), shard, cutoff=9, threads=1)


def test_shards_searched_in_other_processes_join_into_the_single_search(
        sample: Path, tmp_path: Path) -> None:
    shards = brisel.SequenceDatabase.build_shards(DATA / "swissprot-100.fasta",
                                                  tmp_path / "sprot", shards=3)
    with ProcessPoolExecutor(max_workers=2) as pool:
        parts = list(pool.map(search_shard, [str(sample / "sites")] * 3,
                              [shard.root for shard in shards]))
    single = brisel.search(brisel.MotifDatabase.open(sample / "sites"),
                           brisel.SequenceDatabase.open(sample / "sprot"), cutoff=9)
    joined = brisel.Hits.join(parts)
    same_hits(joined, single)
    assert joined.sequences is None and joined.searched == 100 and joined.cutoff == 9
    same_hits(pickle.loads(pickle.dumps(joined)), single)
    # Two scans of lists of sequences join as one scan of both.
    records = read_fasta(DATA / "swissprot-100.fasta")
    motifs = brisel.MotifDatabase.build(DATA / "site-patterns.txt")
    same_hits(brisel.Hits.join([brisel.search(motifs, records[:40], cutoff=9),
                                brisel.search(motifs, records[40:], cutoff=9)]),
              brisel.search(motifs, records, cutoff=9))
    with pytest.raises(ValueError, match="different motif databases"):
        brisel.Hits.join([parts[0], brisel.search(brisel.MotifDatabase.build(["R-G-D"]), ["RGD"])])


T = TypeVar("T")


def roundtrip(value: T) -> T:
    copy = pickle.loads(pickle.dumps(value, protocol=pickle.HIGHEST_PROTOCOL))
    assert type(copy) is type(value)
    return copy


def test_hits_and_databases_pickle(sample: Path, tmp_path: Path) -> None:
    in_memory = brisel.MotifDatabase.build(DATA / "site-patterns.txt")
    on_disk = brisel.MotifDatabase.open(sample / "sites")
    sprot = brisel.SequenceDatabase.open(sample / "sprot")
    for motifs in (in_memory, on_disk):
        copy = roundtrip(motifs)
        assert isinstance(copy, brisel.MotifDatabase) and list(copy) == list(motifs)
        assert copy.root == motifs.root
        for sequences in (sprot, read_fasta(DATA / "swissprot-100.fasta")):
            hits = brisel.search(motifs, sequences, cutoff=9)
            loaded = roundtrip(hits)
            assert isinstance(loaded, brisel.Hits)
            same_hits(loaded, hits)
            assert (loaded.cutoff, loaded.searched) == (9, 100)
            assert (loaded.sequences is None) == (hits.sequences is None)
            same_hits(roundtrip(hits[3:50:2]), hits[3:50:2])
    reopened = roundtrip(sprot)
    assert reopened.root == sprot.root and list(reopened) == list(sprot)
    # Saved hits that do not fit their databases are refused.
    hits = brisel.search(on_disk, sprot, cutoff=9)
    saved = bytearray(pickle.dumps(hits))
    state = hits.__reduce__()[1][0]
    at = saved.find(state)
    saved[at + 48 + 8 * 3] = 0xFF  # the fourth hit's sequence number
    with pytest.raises(brisel.InvalidInputError, match="outside the databases"):
        pickle.loads(bytes(saved))
    with brisel.SequenceDatabase.build(read_fasta(DATA / "swissprot-100.fasta")[:2],
                                       tmp_path / "two") as two:
        reduced = hits.__reduce__()[1]
        with pytest.raises(ValueError, match="outside the databases"):
            brisel._load_hits(reduced[0], on_disk, two, *reduced[3:])


def test_databases_are_collections(sample: Path) -> None:
    motifs = brisel.MotifDatabase.open(sample / "prosite")
    assert isinstance(motifs, collections.abc.Sequence)
    first = motifs[0]
    assert first == brisel.Motif(0, first.record.split()[0], motifs.record(0), motifs.width(0),
                                 float(motifs.specificities[0]))
    assert list(motifs)[-1] == motifs[-1] == motifs[len(motifs) - 1]
    assert motifs[1:3] == list(motifs)[1:3]
    with motifs:
        assert not motifs.closed
    assert motifs.closed
    with pytest.raises(ValueError, match="closed"):
        len(motifs)
    with brisel.SequenceDatabase.open(sample / "sprot") as sprot:
        opsin = sprot.find("OPSD_HUMAN")
        assert opsin is not None and opsin == sprot[opsin.number]
        assert opsin.description.startswith("P08100 Rhodopsin")
        assert opsin.title == sprot.name(opsin.number) and opsin.residues == sprot.sequence(opsin.number)
        assert sprot.find("nothing") is None
        titles = [s.title for s in sprot]
        assert titles == [sprot.name(s) for s in range(len(sprot))] and len(titles) == 100
    with pytest.raises(ValueError, match="closed"):
        sprot[0]


def test_faults_carry_their_place(sample: Path, tmp_path: Path) -> None:
    missing = tmp_path / "missing"
    with pytest.raises(brisel.NotFoundError) as not_found:
        brisel.SequenceDatabase.open(missing)
    assert isinstance(not_found.value, FileNotFoundError) and not_found.value.errno == 2
    assert not_found.value.path == str(missing)
    fasta = tmp_path / "bad.fa"
    fasta.write_bytes(b">a\nMK\n>b c\nM\0K\n")
    with pytest.raises(brisel.InvalidInputError) as bad_input:
        brisel.SequenceDatabase.build(fasta, tmp_path / "x")
    expected: tuple[Optional[str], Optional[int], Optional[str]] = (str(fasta), 4, "b c")
    assert (bad_input.value.path, bad_input.value.line, bad_input.value.record) == expected
    with pytest.raises(ValueError) as bad_pattern:
        brisel.MotifDatabase.build(["C-x-C", "C-x-Q("])
    assert isinstance(bad_pattern.value, brisel.InvalidInputError)
    assert (bad_pattern.value.path, bad_pattern.value.line, bad_pattern.value.record) == (
        "<patterns>", 2, "C-x-Q(")
    copy = roundtrip(bad_pattern.value)
    assert isinstance(copy, brisel.InvalidInputError) and str(copy) == str(bad_pattern.value)
    assert copy.line == 2
    # A NUL byte in a sequence the scan search is given, refused as the build refuses it.
    motifs = brisel.MotifDatabase.build([("N-O-N-E", "x")])
    for source in ([("x", "AC\x00DEKRSTNPS")], [b"AC\0D"]):
        with pytest.raises(brisel.InvalidInputError) as nul:
            brisel.search(motifs, source, cutoff=9)
        with pytest.raises(brisel.InvalidInputError) as built:
            brisel.SequenceDatabase.build(source, tmp_path / "nul")
        assert str(nul.value) == str(built.value)
        assert (nul.value.path, nul.value.line) == ("<sequences>", 1)
    assert str(nul.value) == "<sequences>:1: a NUL byte in the sequence of record ''"
    # One kind for one fault: a bad value of any argument.
    for call in (lambda: brisel.search(motifs, ["MK"], threads=0),
                 lambda: brisel.search_chunks(motifs, ["MK"], chunk_size=0),
                 lambda: brisel.search(motifs, ["MK"]).to_bytes("gf3")):  # type: ignore[arg-type]
        with pytest.raises(brisel.InvalidValueError):
            call()


class Unnamed:
    """A SeqRecord-like object without a description."""

    def __init__(self, id: str, seq: object) -> None:
        self.id, self.seq = id, seq


def test_wrong_types_are_refused_at_the_call(sample: Path) -> None:
    import io
    motifs = brisel.MotifDatabase.build([("N-O-N-E", "x")])
    hits = brisel.search(motifs, ["NONE"], cutoff=9)
    assert len(hits) == 1 and len(brisel.search(motifs, [Unnamed("u", "NONE")], cutoff=9)) == 1
    refused: dict[str, Callable[[], object]] = {
        "the sequence of a \\(name, sequence\\) pair": lambda: brisel.search(
            motifs, [("n", None)], cutoff=9),  # type: ignore[list-item]
        "the sequence of a": lambda: brisel.search(
            motifs, [("n", ["RGD"])], cutoff=9),  # type: ignore[list-item]
        "sequence 1: the sequence": lambda: brisel.search(
            motifs, (pair for pair in [("b", 5.5)]), cutoff=9),  # type: ignore[misc]
        "the seq is a str": lambda: brisel.search(motifs, [Unnamed("u", None)]),
        "motifs takes a brisel.MotifDatabase, not str": lambda: brisel.search(
            "x", ["MK"]),  # type: ignore[arg-type]
        "sequences takes": lambda: brisel.search(motifs, 5),  # type: ignore[arg-type]
        "source: pattern 2 is a str": lambda: brisel.MotifDatabase.build(
            ["A-B", 5]),  # type: ignore[list-item]
        "source takes a path .* not bytes": lambda: brisel.MotifDatabase.build(
            b"/path"),  # type: ignore[arg-type]
        "shards takes an int, not str": lambda: brisel.SequenceDatabase.build_shards(
            [], "x", shards="3"),  # type: ignore[arg-type]
        "chunk_size takes a positive int": lambda: brisel.search_chunks(
            motifs, ["MK"], chunk_size="a"),  # type: ignore[arg-type]
        "cutoff takes": lambda: brisel.search(motifs, ["MK"], cutoff=0.5),  # type: ignore[arg-type]
        "threads takes": lambda: brisel.search(motifs, ["MK"], threads=2.0),  # type: ignore[arg-type]
        "file takes a path or a binary file; a StringIO": lambda: hits.write(io.StringIO()),
        "format takes": lambda: hits.to_bytes(3),  # type: ignore[arg-type]
        "header takes a bool": lambda: hits.to_bytes("tsv", header=None),  # type: ignore[arg-type]
        "root takes a path": lambda: brisel.SequenceDatabase.open(3),  # type: ignore[arg-type]
    }
    for message, call in refused.items():
        with pytest.raises(TypeError, match=message):
            call()
