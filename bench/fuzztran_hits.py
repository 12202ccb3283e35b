#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""EMBOSS fuzztran, the peer of the translated search, as a black box: its
pattern file, and its hits in brisel's terms (Python 3 standard library only).

  bench/fuzztran_hits.py patterns SITE_PATTERNS [--part I/N] > PATTERNS.fuzztran

    Writes the patterns of a pattern list (PATTERN <TAB> ACCESSION NAME, as
    data/site-patterns.txt) as fuzztran's pattern file, for -pattern @FILE:
    ">ACCESSION" then the PROSITE pattern as it is. --part I/N keeps every
    N-th pattern from the I-th (1-based), to split the patterns over N runs.

  bench/fuzztran_hits.py hits --genome GENOME.fasta [--keep-stops] REPORT... > HITS.tsv

    Reads fuzztran reports written with -rformat excel (from runs with
    -sformat1 pearson, so that a record's name is the first word of its name
    line) and writes one row per hit, sorted: record, pattern (the accession),
    start, end (1-based, inclusive, on the record's forward strand, start <=
    end), strand, frame (+1..+3, -1..-3: frame -k starts k-1 bases from the
    record's end on the reverse complement), matched amino acids. The genome
    gives each record's length, which the reverse frames need.

fuzztran's numbering, found by running it (EMBOSS 6.6.0):
  - Forward strand: Frame f is our +f and Start/End are right.
  - Reverse strand: Frame f (Strand '-') translates the reverse complement of
    the codons of forward frame f (Staden's convention), which is our frame
    -k with k = (n - f + 2) mod 3, 3 for 0, in a record of n bases. PStart and
    PEnd count amino acids from that frame's first codon (at the record's end)
    and are right; Start and End are not: written high to low, they are off by
    one to three bases, and in frames 1 and 2 also less the record's length
    (so negative). The rows are rebuilt from PStart/PEnd and the frame.
  - 'x' matches a stop, so a hit may run across one ('*' in its letters);
    brisel reads each stretch between stops as one protein and never reports
    such a hit. They are left out unless --keep-stops (their count goes to
    standard error).
"""
import argparse
import sys


def read_lengths(path):
    lengths, name = {}, None
    with open(path, "rb") as handle:
        for line in handle:
            if line.startswith(b">"):
                name = (line[1:].split() or [b""])[0].decode()
                lengths[name] = 0
            elif name is not None:
                lengths[name] += len(line.strip())
    return lengths


def write_patterns(args):
    index, _, count = args.part.partition("/")
    index, count = int(index), int(count)
    if not 1 <= index <= count:
        sys.exit(f"fuzztran_hits.py: --part {args.part}: I/N with 1 <= I <= N")
    kept = 0
    with open(args.patterns, encoding="utf-8") as handle:
        for line in handle:
            if not line.strip() or line.startswith("#"):
                continue
            pattern, _, rest = line.rstrip("\n").partition("\t")
            accession = (rest.split() or [f"pattern{kept + 1}"])[0]
            if kept % count == index - 1:
                sys.stdout.write(f">{accession}\n{pattern}\n")
            kept += 1


def fuzztran_rows(path):
    """(record, pattern, strand, frame, pstart, pend, letters) of a report."""
    with open(path, encoding="utf-8", errors="replace") as handle:
        for line in handle:
            fields = line.rstrip("\n").split("\t")
            if len(fields) < 11 or fields[1] == "Start":
                continue
            record, strand, pattern, frame = fields[0], fields[4], fields[5], int(fields[7])
            yield (record, pattern.split(":", 1)[0], strand, frame, int(fields[8]),
                   int(fields[9]), fields[10].strip())


def write_hits(args):
    lengths = read_lengths(args.genome)
    hits, across_stops = [], 0
    for report in args.reports:
        for record, pattern, strand, frame, pstart, pend, letters in fuzztran_rows(report):
            if "*" in letters and not args.keep_stops:
                across_stops += 1
                continue
            if strand == "+":
                k = frame
                start, end = k + 3 * (pstart - 1), k - 1 + 3 * pend
                ours = f"+{k}"
            else:
                n = lengths[record]
                k = (n - frame + 2) % 3 or 3
                start, end = n - k - 3 * pend + 2, n - k - 3 * (pstart - 1) + 1
                ours = f"-{k}"
            hits.append((record, pattern, start, end, strand, ours, letters))
    hits.sort()
    out = sys.stdout
    out.write("record\tpattern\tstart\tend\tstrand\tframe\tletters\n")
    for hit in hits:
        out.write("\t".join(str(field) for field in hit) + "\n")
    if across_stops:
        print(f"fuzztran_hits.py: {across_stops} hits across a stop left out", file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    patterns = commands.add_parser("patterns")
    patterns.add_argument("patterns")
    patterns.add_argument("--part", default="1/1")
    hits = commands.add_parser("hits")
    hits.add_argument("--genome", required=True)
    hits.add_argument("--keep-stops", action="store_true")
    hits.add_argument("reports", nargs="+")
    args = parser.parse_args()
    (write_patterns if args.command == "patterns" else write_hits)(args)


if __name__ == "__main__":
    main()
