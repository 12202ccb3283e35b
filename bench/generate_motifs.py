#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a deterministic set of motifs, as a pattern list for brisel-makedb.

    bench/generate_motifs.py SEQUENCES.fasta COUNT [SEED] > motifs.txt

Each motif is a segment of width 6 to 20 sampled from the sequences, with some
of its positions widened to a residue group such as [ILMV], [FWY], [KR], [DE],
[ST] or to x; motifs whose specificity (under the background frequencies that
brisel-makedb uses) falls outside 1e-20 to 1e-4 are drawn again. The same
input, count and seed always give the same motifs.
"""
import random
import sys

FREQUENCY = {
    "A": 0.0765, "C": 0.0162, "D": 0.0526, "E": 0.0636, "F": 0.0412, "G": 0.0686, "H": 0.0224,
    "I": 0.0592, "K": 0.0597, "L": 0.0948, "M": 0.0239, "N": 0.044, "P": 0.0485, "Q": 0.0389,
    "R": 0.052, "S": 0.0705, "T": 0.0565, "V": 0.0665, "W": 0.0123, "Y": 0.032,
}
GROUPS = ["ILMV", "FWY", "KR", "DE", "ST", "NQ", "AG"]


def read_sequences(path):
    sequences, current = [], []
    with open(path, "rb") as fasta:
        for line in fasta:
            if line.startswith(b">"):
                if current:
                    sequences.append(b"".join(current).decode("ascii", "replace"))
                current = []
            else:
                current.append(line.strip())
    if current:
        sequences.append(b"".join(current).decode("ascii", "replace"))
    return [s for s in sequences if len(s) >= 20]


def widen(letter, rng):
    groups = [g for g in GROUPS if letter in g]
    if groups and rng.random() < 0.75:
        return groups[0]
    return "x"


def specificity(positions):
    s = 1.0
    for letters in positions:
        s *= 0.9999 if letters == "x" else sum(FREQUENCY.get(c, 0.0) for c in letters)
    return s


def pattern(positions):
    elements = []
    for letters in positions:
        elements.append(letters if len(letters) == 1 or letters == "x" else "[" + letters + "]")
    return "-".join(elements)


def main():
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) == 4 else 7)
    sequences = read_sequences(sys.argv[1])
    count = int(sys.argv[2])
    written = 0
    while written < count:
        sequence = rng.choice(sequences)
        width = rng.randint(6, 20)
        start = rng.randint(0, len(sequence) - width)
        segment = sequence[start:start + width]
        if any(c not in FREQUENCY for c in segment):
            continue
        widening = rng.uniform(0.2, 0.9)
        positions = [widen(c, rng) if rng.random() < widening else c for c in segment]
        s = specificity(positions)
        if not 1e-20 <= s <= 1e-4:
            continue
        written += 1
        print(f"{pattern(positions)}\tGEN{written:05d} w{width}")


if __name__ == "__main__":
    main()
