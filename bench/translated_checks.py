#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The checks of bench/translated.sh on the hits of the translated search
(Python 3 standard library only).

  translated_checks.py peer OURS.tsv FUZZTRAN.tsv

    OURS.tsv is brisel-search --translate -F tsv; FUZZTRAN.tsv is what
    fuzztran_hits.py hits writes (hits across a stop left out). Compares the
    places (record, pattern accession, start, end, strand, frame, letters):
    brisel reports a place once per motif of a pattern's expansion, fuzztran
    once, so both are compared as sets. Prints the counts; fails unless the
    sets are equal.

  translated_checks.py truth TRUTH.tsv PROTEINS.tsv OURS.tsv

    TRUTH.tsv is make_test_genome.py's truth; PROTEINS.tsv the direct search
    (-F tsv) of the encoded proteins written as FASTA named by their row in
    the truth (p1, p2, ...); OURS.tsv the translated search of the genome with
    the same motifs and cut-off. Each protein is exactly one stretch between
    stops, so its hits, mapped onto the genome by the truth, must be the
    translated search's hits on that stretch, with the same E, P and
    specificity digits. Prints the counts; fails on any difference.
"""
import bisect
import sys


def rows(path):
    with open(path, encoding="utf-8", errors="surrogateescape") as handle:
        for line in handle:
            if line.startswith("#") or line.startswith("record\t"):
                continue
            yield line.rstrip("\n").split("\t")


def peer(ours_path, theirs_path):
    ours = {(r[0].split()[0], r[5].split()[0], int(r[1]), int(r[2]), r[3], r[4], r[6])
            for r in rows(ours_path)}
    lines = sum(1 for _ in rows(ours_path))
    theirs = {(r[0], r[1], int(r[2]), int(r[3]), r[4], r[5], r[6]) for r in rows(theirs_path)}
    print(f"brisel: {lines} hit lines, {len(ours)} places; fuzztran without stops: "
          f"{len(theirs)} places; brisel only: {len(ours - theirs)}, fuzztran only: "
          f"{len(theirs - ours)}")
    for place in sorted(ours ^ theirs)[:10]:
        print("  differs:", place, "brisel" if place in ours else "fuzztran")
    return ours == theirs


def truth(truth_path, proteins_path, ours_path):
    proteins = list(rows(truth_path))
    expected = []
    for r in rows(proteins_path):
        row = proteins[int(r[0][1:]) - 1]
        start, end, strand = int(row[2]), int(row[3]), row[4]
        first, last = int(r[1]), int(r[2])  # amino acids in the protein
        if strand == "+":
            place = (start + 3 * (first - 1), start + 3 * last - 1)
        else:
            place = (end - 3 * last + 1, end - 3 * (first - 1))
        expected.append((row[0], *place, strand, row[5], r[3], r[4], r[5], r[6], r[7]))
    # The translated search's hits that lie in a protein's stretch (the
    # proteins do not overlap: the one that starts last before the hit).
    spans = {}
    for row in proteins:
        spans.setdefault(row[0], []).append((int(row[2]), int(row[3]), row[4]))
    for name in spans:
        spans[name].sort()
    starts = {name: [s for s, _, _ in places] for name, places in spans.items()}
    found = []
    for r in rows(ours_path):
        start, end, strand = int(r[1]), int(r[2]), r[3]
        at = bisect.bisect_right(starts.get(r[0], []), start) - 1
        if at < 0:
            continue
        s, e, protein_strand = spans[r[0]][at]
        if end <= e and strand == protein_strand and (
                (start - s) % 3 == 0 if strand == "+" else (e - end) % 3 == 0):
            found.append((r[0], start, end, strand, r[4], r[5], r[6], r[7], r[8], r[9]))
    print(f"proteins: {len(proteins)}; their hits in the direct search: {len(expected)}; "
          f"the translated search's hits on their stretches: {len(found)}")
    same = sorted(expected) == sorted(found)
    if not same:
        for hit in sorted(set(expected) ^ set(found))[:10]:
            print("  differs:", hit)
    return same


def main():
    if len(sys.argv) == 4 and sys.argv[1] == "peer":
        ok = peer(sys.argv[2], sys.argv[3])
    elif len(sys.argv) == 5 and sys.argv[1] == "truth":
        ok = truth(sys.argv[2], sys.argv[3], sys.argv[4])
    else:
        sys.exit(__doc__)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
