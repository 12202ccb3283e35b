#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""An independent check of the site-pattern hits.

    bench/check_site_hits.py PATTERNS SEQUENCES.fasta SEARCH_OUTPUT

Reads each PROSITE pattern of a pattern list as regular expressions (one per
choice of its ranges: x is any letter A to Z, [..] the letters listed, {..}
the letters but those listed, either case), finds every occurrence, overlapping
ones too, in every sequence of the FASTA file, and compares the occurrences
(sequence, record, segment, start, end, with their multiplicity) with the hit
lines of brisel-search run at a cut-off that lets every motif be tried on every
sequence. Prints the counts and the first differences; exits 1 on any
difference. Sequences are matched to output groups by their order, so names
need not be unique.
"""
import collections
import itertools
import re
import sys

LETTERS = "ABCDEFGHIJKLMNOPQRSTUVWXYZ"
ELEMENT = re.compile(r"(x|[A-Z]|\[[A-Z]+\]|\{[A-Z]+\})(?:\((\d+)(?:,(\d+))?\))?")


def allowed_letters(element):
    """The upper-case letters an element (x, a letter, [..] or {..}) allows."""
    if element == "x":
        return LETTERS
    if element.startswith("["):
        return element[1:-1]
    if element.startswith("{"):
        return "".join(c for c in LETTERS if c not in element[1:-1])
    return element


def letter_class(element):
    allowed = allowed_letters(element)
    return "[" + allowed + allowed.lower() + "]"


def elements(pattern):
    """(element, range of its counts) for each element of a pattern."""
    result = []
    for part in pattern.rstrip(".").split("-"):
        match = ELEMENT.fullmatch(part)
        if not match:
            sys.exit(f"cannot read element '{part}' of '{pattern}'")
        low = int(match.group(2) or 1)
        high = int(match.group(3) or low)
        result.append((match.group(1), range(low, high + 1)))
    return result


def expansions(pattern):
    """One regular expression per choice of the pattern's ranges."""
    classes = [(letter_class(element), counts) for element, counts in elements(pattern)]
    for counts in itertools.product(*(choices for _, choices in classes)):
        yield re.compile("(?=(" + "".join(c * n for (c, _), n in zip(classes, counts)) + "))")


def read_patterns(path):
    """(pattern, record) for each line of a pattern list."""
    with open(path) as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                fields = line.split(None, 1)
                yield fields[0], fields[1].strip() if len(fields) > 1 else fields[0]


def header_groups(path):
    """(name, lines) for each '>' line of a file and the lines up to the next."""
    name, lines = None, []
    with open(path, encoding="latin-1") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith(">"):
                if name is not None:
                    yield name, lines
                name, lines = line[1:].rstrip("\r"), []
            else:
                lines.append(line)
    if name is not None:
        yield name, lines


def read_fasta(path):
    for name, lines in header_groups(path):
        yield name, "".join(line.replace(" ", "").replace("\t", "").replace("\r", "") for line in lines)


def expected_groups(patterns_path, fasta_path):
    motifs = [(record, regex) for pattern, record in read_patterns(patterns_path)
              for regex in expansions(pattern)]
    for name, sequence in read_fasta(fasta_path):
        hits = sorted(f"{record}|{m.group(1)}|{m.start() + 1}|{m.start() + len(m.group(1))}"
                      for record, regex in motifs for m in regex.finditer(sequence))
        if hits:
            yield name, hits


def reported_groups(output_path):
    for name, lines in header_groups(output_path):
        yield name, sorted("|".join(line.split("|")[3:]) for line in lines)


def main():
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    expected = expected_groups(sys.argv[1], sys.argv[2])
    reported = reported_groups(sys.argv[3])
    groups = hits = differences = 0
    for want, got in itertools.zip_longest(expected, reported):
        if want == got:
            groups += 1
            hits += len(want[1])
            continue
        differences += 1
        if differences <= 5:
            want_hits = collections.Counter(want[1] if want else [])
            got_hits = collections.Counter(got[1] if got else [])
            print(f"sequence {want and want[0]!r} / output group {got and got[0]!r}:")
            print(f"  only expected: {sorted((want_hits - got_hits).elements())[:5]}")
            print(f"  only reported: {sorted((got_hits - want_hits).elements())[:5]}")
    print(f"{groups} sequences with {hits} hits agree; {differences} differ")
    sys.exit(1 if differences else 0)


if __name__ == "__main__":
    main()
