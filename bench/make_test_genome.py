#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes deterministic nucleotide test genomes as FASTA (Python 3 standard
library only; the same arguments and seed give the same bytes).

  bench/make_test_genome.py proteins --proteins FASTA --out GENOME.fasta
          --truth TRUTH.tsv [--table 11] [--count N] [--records R]
          [--intergenic MIN-MAX] [--gc 0.5] [--ambiguous FRACTION] [--seed S]

    Back-translates real proteins into random codons of NCBI translation
    table --table, puts each on a random strand between stretches of random
    intergenic DNA, and writes the genome and a truth table. Each protein is
    flanked by a stop codon on both sides in its own frame (tables that have
    no stop codon, 27, 28 and 31, get none), so that it is exactly one stretch
    between stops in that frame. A protein letter that the table does not
    code (B, Z, J, X, O, U) is encoded as an amino acid drawn at random, and
    the truth gives the encoded protein. Ambiguous IUPAC letters (R Y S W K M
    B D H V N), at the given fraction, fall only in the intergenic DNA, so
    every protein translates back exactly.

    The truth is a TSV with a header line and one row per protein: record,
    protein (the first word of its FASTA name), start and end (1-based,
    inclusive, on the record's forward strand, the protein's codons without
    the flanking stops), strand (+ or -), frame (+1..+3, -1..-3: frame +k
    starts k-1 bases from the record's start, frame -k k-1 bases from its end
    on the reverse complement), length (amino acids) and the encoded protein.

  bench/make_test_genome.py random --bases N --out GENOME.fasta
          [--records R] [--gc 0.5] [--ambiguous FRACTION] [--seed S]

    Random DNA of N bases in total (split evenly over R records), for the
    5-million and 100-million-base benchmark genomes.

Records are named record1, record2, ... (--name-prefix changes "record") and
written 60 bases a line (--line-width).
"""
import argparse
import random
import sys

BASES = "TCAG"  # NCBI's order of a table's 64 codons
AMBIGUOUS = "RYSWKMBDHVN"
COMPLEMENT = bytes.maketrans(b"ACGTRYSWKMBDHVN", b"TGCAYRSWMKVHDBN")

# The amino-acid rows of NCBI's translation tables (T, C, A, G order), as
# src/libbrisel/translation/genetic_codes.cpp holds them.
TABLES = {
    1: "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    2: "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNKKSS**VVVVAAAADDEEGGGG",
    3: "FFLLSSSSYY**CCWWTTTTPPPPHHQQRRRRIIMMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    4: "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    5: "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNKKSSSSVVVVAAAADDEEGGGG",
    6: "FFLLSSSSYYQQCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    9: "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNNKSSSSVVVVAAAADDEEGGGG",
    10: "FFLLSSSSYY**CCCWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    11: "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    12: "FFLLSSSSYY**CC*WLLLSPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    13: "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNKKSSGGVVVVAAAADDEEGGGG",
    14: "FFLLSSSSYYY*CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNNKSSSSVVVVAAAADDEEGGGG",
    15: "FFLLSSSSYY*QCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    16: "FFLLSSSSYY*LCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    21: "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNNKSSSSVVVVAAAADDEEGGGG",
    22: "FFLLSS*SYY*LCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    23: "FF*LSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    24: "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSSKVVVVAAAADDEEGGGG",
    25: "FFLLSSSSYY**CCGWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    26: "FFLLSSSSYY**CC*WLLLAPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    27: "FFLLSSSSYYQQCCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    28: "FFLLSSSSYYQQCCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    29: "FFLLSSSSYYYYCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    30: "FFLLSSSSYYEECC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    31: "FFLLSSSSYYEECCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    32: "FFLLSSSSYY*WCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG",
    33: "FFLLSSSSYYY*CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSSKVVVVAAAADDEEGGGG",
}


def codons_of(table):
    """Amino acid (or '*') -> the codons that code it, as bytes."""
    codons = {}
    for index, letter in enumerate(TABLES[table]):
        codon = (BASES[index // 16] + BASES[index // 4 % 4] + BASES[index % 4]).encode()
        codons.setdefault(letter, []).append(codon)
    return codons


def read_fasta(path):
    """(name, residues) of each record; the name is the header's first word."""
    name, parts = None, []
    with open(path, encoding="ascii", errors="replace") as handle:
        for line in handle:
            if line.startswith(">"):
                if name is not None:
                    yield name, "".join(parts)
                name, parts = (line[1:].split() or [""])[0], []
            elif name is not None:
                parts.append(line.strip())
    if name is not None:
        yield name, "".join(parts)


def base_table(gc):
    """A bytes.translate table that turns uniform random bytes into bases
    with the given G+C fraction (to 1/256)."""
    strong = round(256 * gc)
    weak = 256 - strong
    letters = [b"GC"[k % 2] for k in range(strong)] + [b"AT"[k % 2] for k in range(weak)]
    return bytes(letters)


class RandomDna:
    def __init__(self, rng, gc, ambiguous):
        self.rng, self.table, self.ambiguous = rng, base_table(gc), ambiguous

    def __call__(self, length):
        dna = bytearray(self.rng.randbytes(length).translate(self.table))
        if self.ambiguous > 0 and length > 0:
            # Rounded at random, so that short gaps get their share on average.
            count = min(length, int(length * self.ambiguous + self.rng.random()))
            for at in self.rng.sample(range(length), count):
                dna[at] = ord(self.rng.choice(AMBIGUOUS))
        return bytes(dna)


def write_record(out, name, dna, width):
    out.write(b">" + name.encode() + b"\n")
    for at in range(0, len(dna), width):
        out.write(dna[at:at + width] + b"\n")


def parse_range(text):
    low, _, high = text.partition("-")
    low, high = int(low), int(high or low)
    if low < 0 or high < low:
        raise argparse.ArgumentTypeError(f"'{text}' is not a range MIN-MAX")
    return low, high


def back_translate(args):
    rng = random.Random(args.seed)
    random_dna = RandomDna(rng, args.gc, args.ambiguous)
    codons = codons_of(args.table)
    coded = sorted(letter for letter in codons if letter != "*")
    stops = codons.get("*", [])
    proteins = []
    for name, residues in read_fasta(args.proteins):
        if args.count is not None and len(proteins) >= args.count:
            break
        encoded = "".join(r if r in codons and r != "*" else rng.choice(coded)
                          for r in residues.upper())
        if encoded:
            proteins.append((name, encoded))
    per_record = -(-len(proteins) // args.records) if proteins else 0
    low, high = args.intergenic
    with open(args.out, "wb") as out, open(args.truth, "w", encoding="ascii") as truth:
        truth.write("record\tprotein\tstart\tend\tstrand\tframe\tlength\tsequence\n")
        for number in range(1, args.records + 1):
            record = f"{args.name_prefix}{number}"
            chunk = proteins[(number - 1) * per_record:number * per_record]
            pieces, placed, at = [], [], 0
            for name, encoded in chunk:
                gap = random_dna(rng.randint(low, high))
                pieces.append(gap)
                at += len(gap)
                random_bytes = rng.randbytes(len(encoded))
                cds = b"".join(codons[r][b % len(codons[r])] for r, b in zip(encoded, random_bytes))
                reverse = rng.random() < 0.5
                before = rng.choice(stops) if stops else b""
                after = rng.choice(stops) if stops else b""
                gene = before + cds + after
                if reverse:
                    gene = gene[::-1].translate(COMPLEMENT)
                start = at + len(after if reverse else before)  # 0-based first base of the cds
                pieces.append(gene)
                at += len(gene)
                placed.append((name, encoded, start, reverse))
            pieces.append(random_dna(rng.randint(low, high)))
            dna = b"".join(pieces)
            n = len(dna)
            for name, encoded, start, reverse in placed:
                end = start + 3 * len(encoded)  # 0-based, exclusive
                frame = f"-{(n - end) % 3 + 1}" if reverse else f"+{start % 3 + 1}"
                truth.write(f"{record}\t{name}\t{start + 1}\t{end}\t{'-' if reverse else '+'}\t"
                            f"{frame}\t{len(encoded)}\t{encoded}\n")
            write_record(out, record, dna, args.line_width)


def random_genome(args):
    rng = random.Random(args.seed)
    random_dna = RandomDna(rng, args.gc, args.ambiguous)
    with open(args.out, "wb") as out:
        for number in range(1, args.records + 1):
            size = args.bases * number // args.records - args.bases * (number - 1) // args.records
            name = f"{args.name_prefix}{number}"
            out.write(b">" + name.encode() + b"\n")
            # A megabase at a time, so that a 100-million-base record needs
            # little memory; pieces are whole lines.
            step = args.line_width * 16384
            for at in range(0, size, step):
                dna = random_dna(min(step, size - at))
                for line in range(0, len(dna), args.line_width):
                    out.write(dna[line:line + args.line_width] + b"\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    commands = parser.add_subparsers(dest="command", required=True)
    for name in ("proteins", "random"):
        sub = commands.add_parser(name)
        sub.add_argument("--out", required=True)
        sub.add_argument("--seed", type=int, default=1)
        sub.add_argument("--records", type=int, default=1)
        sub.add_argument("--gc", type=float, default=0.5)
        sub.add_argument("--ambiguous", type=float, default=0.0,
                         help="fraction of intergenic bases written as ambiguous letters")
        sub.add_argument("--line-width", type=int, default=60)
        sub.add_argument("--name-prefix", default="record")
        if name == "proteins":
            sub.add_argument("--proteins", required=True)
            sub.add_argument("--truth", required=True)
            sub.add_argument("--table", type=int, default=11, choices=sorted(TABLES))
            sub.add_argument("--count", type=int, help="the first N proteins only")
            sub.add_argument("--intergenic", type=parse_range, default=(50, 500),
                             help="length range of the DNA between proteins (MIN-MAX)")
        else:
            sub.add_argument("--bases", type=int, required=True)
    args = parser.parse_args()
    if args.records < 1 or not 0 <= args.gc <= 1 or not 0 <= args.ambiguous <= 1:
        sys.exit("make_test_genome.py: --records must be positive, --gc and --ambiguous in 0..1")
    (back_translate if args.command == "proteins" else random_genome)(args)


if __name__ == "__main__":
    main()
