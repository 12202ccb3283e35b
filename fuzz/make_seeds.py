#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes the seed corpus of every fuzz target into fuzz/corpus/<target>/.

    fuzz/make_seeds.py BUILD_DIR

BUILD_DIR holds a built brisel-makedb, which makes the database seeds from the
sample data. Seeds are named by the SHA-1 of their content, as libFuzzer names
the inputs it adds.
"""
import bz2
import gzip
import hashlib
import lzma
import pathlib
import struct
import subprocess
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
CORPUS = ROOT / "fuzz" / "corpus"


def write(target, data):
    directory = CORPUS / target
    directory.mkdir(parents=True, exist_ok=True)
    (directory / hashlib.sha1(data).hexdigest()).write_bytes(data)


def scanner_seed(discard, buf_len, delimiters, text):
    return bytes([(buf_len - 2) << 1 | discard, len(delimiters)]) + delimiters + text


def scanner_seeds():
    write("scanner", scanner_seed(1, 4, b"\n", b"12\n34\n\n56"))
    write("scanner", scanner_seed(1, 4, b"\n", b"abcdefg\nxy\nabc\ndef\n"))
    write("scanner", scanner_seed(1, 2, b"\n", b"ab\nc\r\n"))
    write("scanner", scanner_seed(0, 10, b",", b"ab,,cd,"))
    write("scanner", scanner_seed(1, 6, b"\n\xe9", b"ab\xe9cd\n\n\x00x\nend"))
    write("scanner", scanner_seed(0, 3, b"", b"no delimiters at all"))
    write("scanner", scanner_seed(1, 41, b"\n ", b"   key:value\n\n\x00\x00\nlast"))


def stats_seeds():
    for text in [b"3\n12\n40\n", b"\n\n3\n\n12\n", b"-1\n4294967296\n99999999999999999999\n",
                 b"  +7 motifs\r\n12345678901\n2\n3\n", b"abc\n- 5\n+-5\n", b""]:
        write("stats_file", text)


def zstd_compress(data):
    return subprocess.run(["zstd", "-q", "-c", "-"], input=data, check=True,
                          stdout=subprocess.PIPE).stdout


def fasta_seeds():
    sample = (ROOT / "data" / "swissprot-100.fasta").read_bytes()
    records = sample.split(b"\n>")
    write("fasta_reader", records[0] + b"\n>" + records[1][:400] + b"\n")
    write("fasta_reader", b">a desc\r\nAC D\tE\r\n\nac\n>\n>b\nXZ*\n")
    write("fasta_reader", b"\n\nMKV\n>a\nAC\n")
    write("fasta_reader", b">only a name")
    write("fasta_reader", b">a\nMK\x00V\n")
    write("fasta_reader", b">a\x00b\nMKV\n")
    write("fasta_reader", b"\x7fELF\x02\x01\x01\x00\n>a\nMKV\n")
    write("fasta_reader", b">a\n>b\nMKV\n>c\n")
    write("fasta_reader", b">a long name line\r\nMKV\n>b\nW\n")
    write("fasta_reader", gzip.compress(b">x\nMKVLAA\nGG\n>y\nWW\n"))
    write("fasta_reader", gzip.compress(b">x\nMKVLAA\n" * 20)[:-9])
    write("fasta_reader", bz2.compress(b">x\nMKVLAA\nGG\n>y\nWW\n"))
    write("fasta_reader", lzma.compress(b">x\nMKVLAA\nGG\n>y\nWW\n"))
    write("fasta_reader", zstd_compress(b">x\nMKVLAA\nGG\n>y\nWW\n"))


def direct_seeds():
    """The options byte (threads, format, cut-off), then the FASTA file."""
    sample = (ROOT / "data" / "swissprot-100.fasta").read_bytes()
    head = b">".join(sample.split(b">")[:6])
    hits = b">a first\nMNVSTRKCAGCDEKRNGSR\n>\n>c\ncaGKmnqs\r\n\nDEKDTK\n>d\n"
    for options, text in [(31 << 3 | 1, head), (25 << 3 | 2, hits), (20 << 3 | 5, hits),
                          (31 << 3, b"\n\n"), (31 << 3 | 1, b">a\nMK\x00V\n"),
                          (31 << 3, hits + b">e\x00f\nMKV\n"), (31 << 3, b"MKV\n" + hits),
                          (31 << 3 | 1, gzip.compress(hits * 3)),
                          (31 << 3, gzip.compress(head)[:-20]),
                          (30 << 3 | 3, zstd_compress(hits)), (31 << 3, bz2.compress(hits)),
                          (31 << 3 | 1, lzma.compress(hits))]:
        write("direct_search", bytes([options]) + text)


def compressed_seeds():
    """The mode byte (format, streams, pieces, damage), where, value, then the text."""
    sample = (ROOT / "data" / "swissprot-100.fasta").read_bytes()
    text = sample[:3000]
    for fmt in range(4):
        for streams, pieces, damage, where in [(0, 0, 0, 0), (2, 1, 0, 0), (1, 0, 1, 700),
                                               (0, 1, 1, 40), (0, 0, 2, 300), (1, 1, 3, 5)]:
            mode = fmt | streams << 2 | pieces << 4 | damage << 5
            write("compressed_input", bytes([mode, where & 0xff, where >> 8, 0x20]) + text)
    write("compressed_input", bytes([0x10, 0, 0, 0]) + b">long\n" + b"ACDEFGHIKL" * 700)
    write("compressed_input", bytes([0x01, 0, 0, 0]) + b"")


def pattern_seeds():
    for line in (ROOT / "data" / "site-patterns.txt").read_text().splitlines():
        if line and not line.startswith("#"):
            write("pattern_parser", line.split("\t")[0].encode())
    for text in ["<M-x-K", "A-x-[G>].", "[RK]-x(2,3)-[DE]-x(2,3)-Y", "x(0,1)-A", "r-g-d.",
                 "{ACDEFGHIKLMNPQRSTVWY}", "A(3,2)", "[AB", "A--G", "x(1,10)-A-x(1,10)-x(1,11)",
                 "[KRHQSA]-[DENQ]-E-L>", "<x(0,11)-C-x(2)-[DE]", "<M-K>", "F-[GSTV]-P-R-L-[G>]",
                 "A-[>]", "A-[G>]-C"]:
        write("pattern_parser", text.encode())


def pieces(files):
    out = b""
    for content in files:
        out += struct.pack("<H", len(content)) + content
    return out


MOTIF_SUFFIXES = ["-logSpecificities.bin", "-specificities.bin", "-lengthCorrections.bin",
                  "-bitMotifs.bin", "-bitIndices.bin", "-homingBitLetters.bin", "-offsets.bin",
                  "-records.bin", "-recordIndices.bin"]
SEQUENCE_SUFFIXES = ["-names.bin", "-nameIndices.bin", "-textSequences.bin", "-bitSequences.bin",
                     "-sequenceIndices.bin", "-offsets.bin", "-offsetIndices.bin"]


def database_seed(options, motif_root, sequence_root, text):
    """The 19 pieces, then the anchors block as a 20th when the database has one."""
    files = [pathlib.Path(str(motif_root) + "-stats").read_bytes()]
    files += [pathlib.Path(str(motif_root) + s).read_bytes() for s in MOTIF_SUFFIXES]
    files += [pathlib.Path(str(sequence_root) + "-stats").read_bytes()]
    files += [pathlib.Path(str(sequence_root) + s).read_bytes() for s in SEQUENCE_SUFFIXES]
    files.append(text)
    anchors = pathlib.Path(str(motif_root) + "-anchors.bin")
    if anchors.exists():
        files.append(anchors.read_bytes())
    return bytes([options]) + pieces(files)


def database_seeds(build):
    makedb = pathlib.Path(build) / "src" / "brisel-makedb" / "brisel-makedb"
    with tempfile.TemporaryDirectory() as work:
        work = pathlib.Path(work)
        (work / "seq.fa").write_bytes(b">S\nGAKLMAKIM\n>two\nKLMKIMGG\n>empty\n>lower\ngaklm*\n")
        (work / "motifs.txt").write_bytes(b"K-[LI]-M\tR\nG-x-G\tgly\nC-x(1,2)-C\tzinc\n")
        subprocess.run([makedb, "sequences", "-q", work / "seq.fa", work / "s"], check=True)
        subprocess.run([makedb, "motifs", "-q", work / "motifs.txt", work / "m"], check=True)
        fasta = b">S\nGAKLMAKIM\n>two\nKLMKIMGG\n"
        write("databases", database_seed((16 << 1) | 1, work / "m", work / "s", fasta))
        write("databases", database_seed(14 << 1, work / "m", work / "s", b"GAKLMAKIM\n"))
        sample = ROOT / "data" / "swissprot-100.fasta"
        head = b">".join(sample.read_bytes().split(b">")[:4])
        (work / "sp.fa").write_bytes(head)
        subprocess.run([makedb, "sequences", "-q", work / "sp.fa", work / "sp"], check=True)
        subprocess.run([makedb, "motifs", "-q", ROOT / "data" / "site-patterns.txt", work / "sites"],
                       check=True)
        write("databases", database_seed((18 << 1) | 1, work / "sites", work / "sp", head[:600]))
        (work / "anchored.txt").write_bytes(b"K-[LI]-M>\tend\n<G-A\tstart\n<x(0,2)-K\tnear\n"
                                            b"<K-L-M>\twhole\nG-x-G\tgly\n")
        subprocess.run([makedb, "motifs", "-q", work / "anchored.txt", work / "a"], check=True)
        write("databases", database_seed((16 << 1) | 1, work / "a", work / "s", fasta))
        write("databases", database_seed(14 << 1, work / "a", work / "s", b"GAKLMAKIM\n"))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    scanner_seeds()
    stats_seeds()
    fasta_seeds()
    compressed_seeds()
    direct_seeds()
    pattern_seeds()
    database_seeds(sys.argv[1])


if __name__ == "__main__":
    main()
