#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Helpers of bench/peers.sh: the site patterns as regular expressions, and the
comparison of brisel's hits with another program's.

    bench/compare_peer_hits.py regexes PATTERNS
    bench/compare_peer_hits.py compare PATTERNS SEQUENCES.fasta BRISEL.tsv PEER PEER.tsv

regexes writes one regular expression per pattern of a pattern list, as FASTA
named by the accession (the record's first word), for `seqkit locate -r -f`:
x is any letter A to Z, [..] the letters listed, {..} the letters but those
listed, either case; a range x(2,3) becomes [A-Za-z]{2,3}.

compare reads two hit lists, each line "ID<TAB>ACCESSION<TAB>START<TAB>END"
(ID the first word of the sequence's name line, 1-based inclusive positions),
distinct and sorted byte-wise (LC_ALL=C sort -u), and compares them as sets,
one sequence at a time. It prints per pattern the hits both report, those only
brisel reports and those only PEER reports, and how many of the differences a
named difference between the two programs' definitions explains, checked on
the sequence itself:

  other end      a variable-length pattern (x(2,3)): brisel reports every
                 end at a start, one motif per choice of the ranges; the peer
                 reports there exactly one, the end the leftmost-first regular
                 expression match chooses (greedy ranges, left to right).
  skipped start  the peer reports nothing at a start whose leftmost-first
                 match ends no further right than a hit it reported at an
                 earlier start: it reports an overlapping match only when that
                 ends further right.
  non-letter     the sequence holds bytes other than letters ('*', '-', '.',
                 digits), which brisel keeps as positions that match nothing
                 and fuzzpro drops or lets x match.

The last line says whether the hits agree apart from those. Exits 1 when any
difference is unexplained.
"""
import collections
import itertools
import re
import sys

from check_site_hits import LETTERS, allowed_letters, elements, read_fasta, read_patterns

OTHER_END = "other end"
SKIPPED_START = "skipped start"
NON_LETTER = "non-letter"
EXPLANATIONS = {
    OTHER_END: "further ends of a variable-length pattern at a start where {peer} reports one end "
               "(brisel: one motif per choice of the ranges; {peer}: the leftmost-first "
               "regular-expression match)",
    SKIPPED_START: "starts {peer} skips: their leftmost-first match ends no further right than "
                   "the hit {peer} reported before (it reports an overlapping match only when "
                   "it ends further right)",
    NON_LETTER: "in sequences holding bytes other than letters, which {peer} reads differently "
                "(brisel: positions that match nothing)",
}
LETTER_BYTES = re.compile("[A-Za-z]*")


def character_class(letters):
    """A class of the given upper-case letters and their lower-case forms,
    consecutive letters written as ranges."""
    runs = []
    for letter in LETTERS:
        if letter in letters:
            if runs and ord(runs[-1][1]) + 1 == ord(letter):
                runs[-1][1] = letter
            else:
                runs.append([letter, letter])
    text = ""
    for first, last in runs:
        if first == last:
            text += first
        elif ord(last) == ord(first) + 1:
            text += first + last
        else:
            text += first + "-" + last
    return "[" + text + text.lower() + "]"


def regex(pattern):
    parts = []
    for element, counts in elements(pattern):
        low, high = counts[0], counts[-1]
        count = "" if high == 1 else f"{{{low}}}" if low == high else f"{{{low},{high}}}"
        parts.append(character_class(allowed_letters(element)) + count)
    return "".join(parts)


def accession(record):
    return record.split()[0]


def write_regexes(patterns_path):
    for pattern, record in read_patterns(patterns_path):
        print(f">{accession(record)}\n{regex(pattern)}")


def hit_groups(path):
    """(id, set of (accession, start, end)) for each sequence of a sorted hit list."""
    with open(path, encoding="latin-1") as f:
        rows = (line.rstrip("\n").split("\t") for line in f)
        for name, group in itertools.groupby(rows, key=lambda row: row[0]):
            yield name, {(acc, int(start), int(end)) for _, acc, start, end in group}


def paired_groups(left_path, right_path):
    """(id, left hits, right hits) over the ids of either list, in sorted order."""
    left, right = hit_groups(left_path), hit_groups(right_path)
    a, b = next(left, None), next(right, None)
    while a or b:
        if b is None or (a and a[0] < b[0]):
            yield a[0], a[1], set()
            a = next(left, None)
        elif a is None or b[0] < a[0]:
            yield b[0], set(), b[1]
            b = next(right, None)
        else:
            yield a[0], a[1], b[1]
            a, b = next(left, None), next(right, None)


def has_non_letters(sequences):
    return any(LETTER_BYTES.fullmatch(sequence) is None for sequence in sequences)


def explain(sequences, regexes, only_brisel, peer_hits):
    """The explanation of each hit only brisel reports, or None."""
    if not sequences:
        return [None] * len(only_brisel)
    if has_non_letters(sequences):
        return [NON_LETTER] * len(only_brisel)
    if len(sequences) > 1:  # an id shared by several sequences: no positions to check
        return [None] * len(only_brisel)
    result = []
    for acc, start, end in only_brisel:
        match = regexes[acc].match(sequences[0], start - 1)
        chosen = match.end() if match else None
        ends_here = {e for a, s, e in peer_hits if a == acc and s == start}
        ends_before = [e for a, s, e in peer_hits if a == acc and s < start]
        if chosen is None:
            result.append(None)
        elif ends_here == {chosen} and end != chosen:
            result.append(OTHER_END)
        elif not ends_here and ends_before and max(ends_before) >= chosen:
            result.append(SKIPPED_START)
        else:
            result.append(None)
    return result


def compare(patterns_path, fasta_path, brisel_path, peer, peer_path):
    regexes, order = {}, []
    for pattern, record in read_patterns(patterns_path):
        regexes[accession(record)] = re.compile(regex(pattern))
        order.append(accession(record))
    agree = collections.Counter()
    differing = {}  # id -> (hits only brisel reports, hits only the peer reports, peer hits)
    for name, brisel_hits, peer_hits in paired_groups(brisel_path, peer_path):
        for acc, _, _ in brisel_hits & peer_hits:
            agree[acc] += 1
        if brisel_hits != peer_hits:
            differing[name] = (sorted(brisel_hits - peer_hits), sorted(peer_hits - brisel_hits),
                               peer_hits)
    sequences = collections.defaultdict(list)
    if differing:
        for name, sequence in read_fasta(fasta_path):
            words = name.split()
            if words and words[0] in differing:
                sequences[words[0]].append(sequence)

    only = {side: collections.Counter() for side in ("brisel", peer)}
    explained = {side: collections.Counter() for side in ("brisel", peer)}
    reasons = collections.Counter()
    unexplained = []
    for name, (only_brisel, only_peer, peer_hits) in differing.items():
        found = sequences.get(name, [])
        for side, hits, why in (
                ("brisel", only_brisel, explain(found, regexes, only_brisel, peer_hits)),
                (peer, only_peer, [NON_LETTER if has_non_letters(found) else None] * len(only_peer))):
            for (acc, start, end), reason in zip(hits, why):
                only[side][acc] += 1
                if reason:
                    explained[side][acc] += 1
                    reasons[(side, reason)] += 1
                else:
                    unexplained.append((side, name, acc, start, end))

    print(f"brisel vs {peer}: hits as sets of (sequence id, start, end, pattern accession)")
    width = max(12, len(peer) + 5)
    print(f"{'pattern':<9} {'agree':>10} {'only brisel':>12} {'(explained)':>11} "
          f"{'only ' + peer:>{width}} {'(explained)':>11}")
    for acc in order + sorted((set(agree) | set(only["brisel"]) | set(only[peer])) - set(order)):
        print(f"{acc:<9} {agree[acc]:>10,} {only['brisel'][acc]:>12,} "
              f"{explained['brisel'][acc]:>11,} {only[peer][acc]:>{width},} "
              f"{explained[peer][acc]:>11,}")
    total = lambda counter: sum(counter.values())
    print(f"{'total':<9} {total(agree):>10,} {total(only['brisel']):>12,} "
          f"{total(explained['brisel']):>11,} {total(only[peer]):>{width},} "
          f"{total(explained[peer]):>11,}")
    for (side, reason), count in sorted(reasons.items()):
        print(f"  {count:,} hits only {side} reports: {EXPLANATIONS[reason].format(peer=peer)}")
    for side, name, acc, start, end in unexplained[:10]:
        print(f"  unexplained, only {side}: {name} {acc} {start}-{end}")
    if unexplained:
        print(f"brisel vs {peer}: {len(unexplained):,} hits differ UNEXPLAINED "
              f"({total(agree):,} agree)")
        return 1
    named = "; ".join(f"{count:,} only {side}: {reason}" for (side, reason), count in sorted(reasons.items()))
    print(f"brisel vs {peer}: the hits agree ({total(agree):,})"
          + (f" apart from named definition differences ({named})" if named else ", all of them"))
    return 0


def main():
    if len(sys.argv) == 3 and sys.argv[1] == "regexes":
        write_regexes(sys.argv[2])
    elif len(sys.argv) == 7 and sys.argv[1] == "compare":
        sys.exit(compare(*sys.argv[2:]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
