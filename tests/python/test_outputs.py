# SPDX-License-Identifier: MIT
"""The module's hits are brisel-search's: the written bytes equal its standard
output in every format, indexed and scan, on 1, 2 and 3 threads, over the
sample data and random databases; the arrays agree with the hit lines."""

from __future__ import annotations

from pathlib import Path
from typing import Iterator

import numpy as np
import pytest

import brisel
from conftest import DATA, read_fasta, run

FORMATS: tuple[brisel.Format, ...] = ("pipe", "tsv", "gff3")


def program_output(motifs: Path, sequences: Path, *options: str) -> bytes:
    return run("brisel-search", "-l", *options, "-m", str(motifs), "-s", str(sequences)).stdout


def unescape_tsv(field: str) -> str:
    out, i = [], 0
    while i < len(field):
        if field[i] == "\\" and i + 1 < len(field):
            out.append({"t": "\t", "n": "\n", "r": "\r", "\\": "\\"}[field[i + 1]])
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def expect_arrays_match_rows(hits: brisel.Hits, tsv: bytes) -> None:
    """Each row of the tsv output is the hit of the same index."""
    rows = tsv.decode("utf-8", "surrogateescape").split("\n")[1:-1]
    assert len(rows) == len(hits)
    names, records, segments = hits.names(), hits.records(), hits.segments()
    for i, row in enumerate(rows):
        name, start, end, record, segment, s, e, p = map(unescape_tsv, row.split("\t"))
        assert (name, record, segment) == (names[i].split("\x00")[0], records[i], segments[i])
        assert (int(start), int(end)) == (hits.start[i], hits.end[i])
        assert int(end) - int(start) + 1 == len(segment.encode("utf-8", "surrogateescape"))
        assert s == f"{hits.specificity[i]:.3e}"
        assert e == f"{hits.expectation[i]:.2e}"
        assert p == f"{hits.p_no_random_hit[i]:.3f}"


@pytest.mark.parametrize("threads", [1, 2, 3])
def test_sample_data_indexed_and_scan(sample: Path, tmp_path: Path, threads: int) -> None:
    sequences = brisel.SequenceDatabase.open(sample / "sprot")
    records = read_fasta(DATA / "swissprot-100.fasta")
    single_line = tmp_path / "sprot.fa"
    single_line.write_text("".join(f">{name}\n{residues}\n" for name, residues in records))
    for motif_root, cutoff in ((sample / "prosite", -2), (sample / "sites", 9)):
        motifs = brisel.MotifDatabase.open(motif_root)
        indexed = brisel.search(motifs, sequences, cutoff=cutoff, threads=threads)
        scanned = brisel.search(motifs, records, cutoff=cutoff, threads=threads)
        assert len(indexed) > 10
        for format in FORMATS:
            options = ("-e", str(cutoff), "-j", str(threads), "-F", format)
            assert indexed.to_bytes(format) == program_output(motif_root, sample / "sprot",
                                                              *options)
            assert scanned.to_bytes(format) == program_output(motif_root, single_line, "-b",
                                                              "-f", *options)
        expect_arrays_match_rows(indexed, indexed.to_bytes("tsv"))
        expect_arrays_match_rows(scanned, scanned.to_bytes("tsv"))


def test_random_databases(random_case_writer) -> None:  # type: ignore[no-untyped-def]
    hit_count = 0
    for seed in range(1, 41):
        case, motif_root, sequence_root, fasta = random_case_writer(seed)
        motifs = brisel.MotifDatabase.open(motif_root)
        pairs = [(name, text) for name, text in case.sequences]
        with brisel.SequenceDatabase.open(sequence_root) as sequences:
            for threads in (1, 2, 3):
                format = FORMATS[(seed + threads) % 3]
                options = ("-e", str(case.cutoff), "-j", str(threads), "-F", format)
                indexed = brisel.search(motifs, sequences, cutoff=case.cutoff, threads=threads)
                assert indexed.to_bytes(format) == program_output(motif_root, sequence_root,
                                                                  *options), (seed, threads)
                scanned = brisel.search(motifs, pairs, cutoff=case.cutoff, threads=threads)
                assert scanned.to_bytes(format) == program_output(motif_root, fasta, "-b", "-f",
                                                                  *options), (seed, threads)
                hit_count += len(indexed)
            # One raw sequence, as -b without -f reads the first line.
            fasta.write_bytes(case.sequences[0][1] + b"\n")
            raw = brisel.search(motifs, case.sequences[0][1], cutoff=case.cutoff)
            assert raw.to_bytes("gff3") == program_output(motif_root, fasta, "-b", "-e",
                                                          str(case.cutoff), "-F", "gff3")
            if seed % 8 == 0:
                expect_arrays_match_rows(indexed, indexed.to_bytes("tsv"))
    assert hit_count > 2000, "the random databases should produce plenty of hits"


def test_write_to_files_and_without_header(sample: Path, tmp_path: Path) -> None:
    motifs = brisel.MotifDatabase.open(sample / "sites")
    with brisel.SequenceDatabase.open(sample / "sprot") as sequences:
        hits = brisel.search(motifs, sequences, cutoff=0)
    hits.write(tmp_path / "hits.gff3", "gff3")
    assert (tmp_path / "hits.gff3").read_bytes() == hits.to_bytes("gff3")
    with open(tmp_path / "hits.tsv", "w") as text_file:
        text_file.write("# before\n")
        hits.write(text_file, "tsv", header=False)
    expected = program_output(sample / "sites", sample / "sprot", "-e", "0", "-F", "tsv",
                              "--no-header")
    assert (tmp_path / "hits.tsv").read_bytes() == b"# before\n" + expected
    with pytest.raises(ValueError, match="unknown output format 'csv'"):
        hits.to_bytes("csv")  # type: ignore[arg-type]


def test_hits_as_objects_and_dataframe(sample: Path) -> None:
    motifs = brisel.MotifDatabase.open(sample / "prosite")
    hits = brisel.search(motifs, brisel.SequenceDatabase.open(sample / "sprot"))
    first = hits[0]
    assert first == next(iter(hits)) == hits[-len(hits)]
    assert first.name.startswith("5HT1D_TAKRU P79748")
    assert (first.record, first.segment, first.start, first.end) == (
        "PS00237 G_PROTEIN_RECEP_F1_1", "ASILHLCVIALDRYWAI", 122, 138)
    assert f"{first.expectation:.2e}|{first.p_no_random_hit:.3f}|{first.specificity:.3e}" == \
        "1.08e-03|0.999|2.869e-06"
    assert list(hits)[-1] == hits[len(hits) - 1]
    with pytest.raises(IndexError):
        hits[len(hits)]
    pandas = pytest.importorskip("pandas")
    frame = hits.to_pandas()
    assert isinstance(frame, pandas.DataFrame)
    assert list(frame.columns) == list(brisel.Hit._fields)
    assert frame.iloc[0].tolist() == list(first)
    assert frame["name"].dtype == "category" and frame["record"].dtype == "category"
    assert frame["name"].tolist() == hits.names() and frame["record"].tolist() == hits.records()


def test_empty_inputs(sample: Path, tmp_path: Path) -> None:
    motifs = brisel.MotifDatabase.open(sample / "prosite")
    empties: tuple[list[str], Iterator[str], str] = ([], iter(()), "")
    for empty in empties:
        hits = brisel.search(motifs, empty)
        assert len(hits) == 0 and hits.to_bytes("gff3") == b"##gff-version 3\n"
        assert hits.start.dtype == np.int64 and hits.start.shape == (0,)
    with brisel.SequenceDatabase.build([], tmp_path / "none") as nothing:
        assert len(nothing) == 0
        assert len(brisel.search(motifs, nothing)) == 0
    assert list(brisel.search_chunks(motifs, [])) == []
    assert len(brisel.Hits.join([brisel.search(motifs, []), brisel.search(motifs, [])])) == 0
