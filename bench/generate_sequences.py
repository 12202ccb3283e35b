#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Writes a deterministic set of random protein sequences as FASTA, for
benchmarks that must run without downloading the real set.

    bench/generate_sequences.py COUNT [SEED] > proteins.fasta

Residues are drawn from the background frequencies, lengths from 50 to 1000
(mean about 370, as in Swiss-Prot); sequences are written 60 residues a line.
"""
import random
import sys

LETTERS = "ACDEFGHIKLMNPQRSTVWY"
WEIGHTS = [0.0765, 0.0162, 0.0526, 0.0636, 0.0412, 0.0686, 0.0224, 0.0592, 0.0597, 0.0948,
           0.0239, 0.044, 0.0485, 0.0389, 0.052, 0.0705, 0.0565, 0.0665, 0.0123, 0.032]


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit(__doc__)
    rng = random.Random(int(sys.argv[2]) if len(sys.argv) == 3 else 11)
    out = sys.stdout
    for n in range(int(sys.argv[1])):
        length = min(1000, max(50, int(rng.lognormvariate(5.7, 0.55))))
        residues = "".join(rng.choices(LETTERS, WEIGHTS, k=length))
        out.write(f">GEN{n:06d} generated protein {n}\n")
        for at in range(0, length, 60):
            out.write(residues[at:at + 60] + "\n")


if __name__ == "__main__":
    main()
