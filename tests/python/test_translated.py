# SPDX-License-Identifier: MIT
"""The translated search from Python: brisel.search(..., translate=True) over a
nucleotide FASTA path or Python sequences gives the hits of brisel-search
--translate, placed on the records (strand and frame columns), and writes its
bytes in every format; search_chunks joins into the same hits; bad letters
and bad options raise as the program refuses them."""

from __future__ import annotations

import gzip
from pathlib import Path

import pytest

import brisel
from conftest import DATA, read_fasta, run

FORMATS: tuple[brisel.Format, ...] = ("pipe", "tsv", "gff3", "bed")
SITES = DATA / "site-patterns.txt"
LAMBDA = DATA / "lambda-phage.fasta"


@pytest.fixture(scope="module")
def motifs() -> brisel.MotifDatabase:
    return brisel.MotifDatabase.build(SITES)


def program(fasta: Path, fmt: str, *options: str) -> bytes:
    return run("brisel-search", "--patterns", str(SITES), "--fasta", str(fasta), "--translate",
               "-e", "9", "-F", fmt, *options).stdout


@pytest.mark.parametrize("threads", [1, 2])
def test_a_fasta_path_gives_the_programs_bytes(motifs: brisel.MotifDatabase, tmp_path: Path,
                                               threads: int) -> None:
    packed = tmp_path / "lambda.fa.gz"
    packed.write_bytes(gzip.compress(LAMBDA.read_bytes()))
    hits = brisel.search(motifs, packed, cutoff=9, threads=threads, translate=True, table=11,
                         frames="1,-2")
    assert hits.translated and len(hits) > 500
    assert set(hits.frame.tolist()) == {1, -2}
    assert set(hits.strand.tolist()) == {"+", "-"}
    for fmt in FORMATS:
        assert hits.to_bytes(fmt) == program(LAMBDA, fmt, "--table", "11", "--frames", "1,-2")
    same = brisel.search(motifs, str(LAMBDA), cutoff=9, translate=True, table=11, frames=[-2, 1])
    assert same.to_bytes("tsv") == hits.to_bytes("tsv")


def test_python_sequences_give_the_bytes_of_their_fasta(motifs: brisel.MotifDatabase,
                                                        tmp_path: Path) -> None:
    genome = read_fasta(LAMBDA)[0][1]

    class Record:  # as Biopython's SeqRecord
        id, description, seq = "rec", "rec from an object", genome[9000:14000].lower()

    sequences: list[brisel.SequenceLike] = [("first piece", genome[:6000]), Record(), genome[20000:25001].encode(), "AT"]
    fasta = tmp_path / "pieces.fa"
    fasta.write_text(">first piece\n" + genome[:6000] + "\n>rec from an object\n" +
                     genome[9000:14000].lower() + "\n>\n" + genome[20000:25001] + "\n>\nAT\n")
    hits = brisel.search(motifs, sequences, cutoff=9, translate=True, min_length=20)
    for fmt in FORMATS:
        assert hits.to_bytes(fmt) == program(fasta, fmt, "--min-length", "20")
    # Each hit's segment is the translation of its bases on its strand.
    complement = str.maketrans("ACGTacgt", "TGCAtgca")
    for hit in list(hits)[::37]:
        bases = [genome[:6000], Record.seq, genome[20000:25001], "AT"][hit.sequence]
        piece = bases[hit.start - 1:hit.end]
        if hit.strand == "-":
            piece = piece.translate(complement)[::-1]
        assert len(piece) == 3 * len(hit.segment) and hit.frame != 0
    frame = hits.to_pandas()["frame"]
    assert frame.isin([1, 2, 3, -1, -2, -3]).all()


def test_chunks_join_into_the_whole(motifs: brisel.MotifDatabase, tmp_path: Path) -> None:
    # A chunk holds whole records: lambda cut into pieces of 2,000 bases.
    genome = read_fasta(LAMBDA)[0][1]
    pieces = tmp_path / "pieces.fa"
    pieces.write_text("".join(f">p{i}\n{genome[i:i + 2000]}\n" for i in range(0, len(genome), 2000)))
    whole = brisel.search(motifs, pieces, cutoff=9, translate=True)
    chunks = list(brisel.search_chunks(motifs, pieces, cutoff=9, translate=True, chunk_size=700))
    assert len(chunks) > 5 and all(0 < len(chunk) <= 700 for chunk in chunks)
    assert b"".join(chunk.to_bytes("bed") for chunk in chunks) == whole.to_bytes("bed")
    assert [f for chunk in chunks for f in chunk.frame.tolist()] == whole.frame.tolist()


def test_bad_input_and_options_raise(motifs: brisel.MotifDatabase, tmp_path: Path) -> None:
    with pytest.raises(ValueError, match=r"^<sequences>:2: 'J' at position 3 is not a nucleotide"):
        brisel.search(motifs, [("a", "ACGTACGT"), ("b", "ACJT")], translate=True)
    bad = tmp_path / "bad.fa"
    bad.write_text(">a\nACGT\n>b x\nAC\nGT-A\n")
    with pytest.raises(ValueError, match=r"bad\.fa:5: '-' in the sequence of record 'b x'"):
        brisel.search(motifs, bad, translate=True)
    with pytest.raises(FileNotFoundError):
        brisel.search(motifs, tmp_path / "missing.fa", translate=True)
    with pytest.raises(ValueError, match=r"^table: '7' is not a genetic code"):
        brisel.search(motifs, ["ACGT"], translate=True, table=7)
    with pytest.raises(ValueError, match=r"^frames: '4' is not a frame"):
        brisel.search(motifs, ["ACGT"], translate=True, frames=[1, 4])
    with pytest.raises(ValueError, match=r"min_length takes a whole number"):
        brisel.search(motifs, ["ACGT"], translate=True, min_length=-1)
    with pytest.raises(ValueError, match="apply to translate=True"):
        brisel.search(motifs, ["ACGT"], table=11)
    protein = brisel.search(motifs, ["MNGTEGPNFYVPFSNATGVVRS"], cutoff=9)
    assert not protein.translated and set(protein.strand.tolist()) == {"."}
    assert protein[0].frame == 0 and protein[0].strand == "."
