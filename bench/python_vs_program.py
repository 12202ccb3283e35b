#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Python module against brisel-search, over the same databases.

    .venv/bin/python bench/python_vs_program.py [-f proteins.fasta] [-n RUNS]
        [-p prosite-like-patterns.txt] [-w WORK] [-j THREADS]

Run it with the Python of an environment where the package is installed
(`make python-install`); the programs compared are the ones that install put
beside that Python, built once with the module. It builds the databases into
WORK with brisel-makedb (once), then, RUNS times and interleaved so that the
machine's load falls on both alike:

- search: `brisel-search -l -e N -j THREADS -m M -s S > /dev/null` against
  `brisel.search(...)` collecting every hit into arrays, the databases opened
  in the same timed span (each in a process of its own, after a warm-up run
  that brings the databases into the page cache); cases: the 16 site patterns
  of data/ at -e 9 and the PROSITE-like set at the default cut-off;
- opening: `import brisel` and opening both databases in a new Python (less
  the same Python doing nothing) against brisel-search's whole run with a
  motif database of no motifs (start-up, mapping and checking both
  databases, and a pass that finds nothing);
- streaming: the peak of anonymous memory (RssAnon, sampled every 5 ms) of a
  process that takes the site patterns' hits by search_chunks, against one
  that collects them all, and one that only opens the databases.

It prints the medians, the ratios against the targets, the load average
before and after, and checks that the module found as many hits as the
program wrote hit lines.
"""

from __future__ import annotations

import argparse
import os
import statistics
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
BIN = Path(sys.executable).parent

SEARCH_CHILD = r"""
import sys, time
t0 = time.perf_counter()
import brisel
motifs = brisel.MotifDatabase.open(sys.argv[1])
sequences = brisel.SequenceDatabase.open(sys.argv[2])
t1 = time.perf_counter()
hits = brisel.search(motifs, sequences, cutoff=int(sys.argv[3]), threads=int(sys.argv[4]))
t2 = time.perf_counter()
print(t2 - t1, t2 - t0, len(hits))
"""

OPEN_CHILD = r"""
import sys
import brisel
brisel.MotifDatabase.open(sys.argv[1])
brisel.SequenceDatabase.open(sys.argv[2])
"""

MEMORY_CHILD = r"""
import sys, threading, time
import brisel
peak = 0
def sample():
    global peak
    while True:
        with open("/proc/self/status") as status:
            for line in status:
                if line.startswith("RssAnon:"):
                    peak = max(peak, int(line.split()[1]))
        time.sleep(0.005)
threading.Thread(target=sample, daemon=True).start()
motifs = brisel.MotifDatabase.open(sys.argv[1])
sequences = brisel.SequenceDatabase.open(sys.argv[2])
mode, threads = sys.argv[3], int(sys.argv[4])
count = 0
if mode == "chunks":
    for chunk in brisel.search_chunks(motifs, sequences, cutoff=9, threads=threads,
                                      chunk_size=65536):
        count += len(chunk)
elif mode == "whole":
    count = len(brisel.search(motifs, sequences, cutoff=9, threads=threads))
time.sleep(0.05)
print(peak, count)
"""


def timed(command: list[str], **kwargs: object) -> float:
    start = time.perf_counter()
    subprocess.run(command, check=True, **kwargs)  # type: ignore[call-overload]
    return time.perf_counter() - start


def load() -> str:
    return " ".join(f"{x:.2f}" for x in os.getloadavg())


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("-f", "--fasta", default="/work/data/proteins.fasta")
    parser.add_argument("-p", "--patterns",
                        default=str(ROOT.parent / "shared/data/prosite-like-patterns.txt"))
    parser.add_argument("-w", "--work", default="/tmp/brisel-python-bench")
    parser.add_argument("-n", "--runs", type=int, default=3)
    parser.add_argument("-j", "--threads", type=int, default=os.cpu_count() or 1)
    options = parser.parse_args()
    work = Path(options.work)
    work.mkdir(parents=True, exist_ok=True)
    makedb = str(BIN / "brisel-makedb")
    search = str(BIN / "brisel-search")
    sequences = work / "proteins"
    builds = [("sequences", options.fasta, sequences),
              ("motifs", str(ROOT / "data/site-patterns.txt"), work / "sites"),
              ("motifs", options.patterns, work / "prosite-like")]
    for kind, source, root in builds:
        if not Path(str(root) + "-stats").exists():
            subprocess.run([makedb, kind, "-q", source, str(root)], check=True)
    (work / "nothing.txt").write_text("")
    subprocess.run([makedb, "motifs", "-q", str(work / "nothing.txt"), str(work / "empty")],
                   check=True)

    print(f"load average before: {load()}; threads {options.threads}; runs {options.runs}")
    cases = [("sites, -e 9", work / "sites", 9), ("PROSITE-like, -e -2", work / "prosite-like", -2)]
    for name, motifs, cutoff in cases:
        command = [search, "-l", "-e", str(cutoff), "-j", str(options.threads), "-m", str(motifs),
                   "-s", str(sequences)]
        # The hit lines: the lines of the pipe format less the sequences' headers.
        lines = int(subprocess.run(" ".join(command) + " 2> /dev/null | grep -vc '^>'", shell=True,
                                   check=True, capture_output=True, text=True).stdout)
        programs, modules, wholes = [], [], []
        hits = 0
        for _ in range(options.runs):
            with open(os.devnull, "wb") as null:
                programs.append(timed(command, stdout=null, stderr=null))
            child = subprocess.run([sys.executable, "-c", SEARCH_CHILD, str(motifs),
                                    str(sequences), str(cutoff), str(options.threads)],
                                   check=True, capture_output=True, text=True).stdout.split()
            modules.append(float(child[0]))
            wholes.append(float(child[1]))
            hits = int(child[2])
        p, m, w = (statistics.median(x) for x in (programs, modules, wholes))
        print(f"{name}: program {p:.2f} s, module {m:.2f} s (with import and opening "
              f"{w:.2f} s): {m / p:.2f} x (target at most 1.2); runs program "
              f"{', '.join(f'{x:.2f}' for x in programs)}, module "
              f"{', '.join(f'{x:.2f}' for x in modules)}; {hits} hits, {lines} hit lines")

    empties, opens, bares = [], [], []
    empty = [search, "-l", "-m", str(work / "empty"), "-s", str(sequences)]
    for _ in range(max(options.runs, 5)):
        with open(os.devnull, "wb") as null:
            empties.append(timed(empty, stdout=null, stderr=null))
        opens.append(timed([sys.executable, "-c", OPEN_CHILD, str(work / "sites"),
                            str(sequences)]))
        bares.append(timed([sys.executable, "-c", "pass"]))
    e, o, b = (statistics.median(x) for x in (empties, opens, bares))
    print(f"opening: module {1000 * (o - b):.0f} ms (import and both databases, python itself "
          f"{1000 * b:.0f} ms less), program {1000 * e:.0f} ms (a whole run with no motifs): "
          f"{1000 * (o - b - e):+.0f} ms (target at most +50 ms)")

    for mode in ("open", "chunks", "whole"):
        peak, count = subprocess.run([sys.executable, "-c", MEMORY_CHILD, str(work / "sites"),
                                      str(sequences), mode, str(options.threads)], check=True,
                                     capture_output=True, text=True).stdout.split()
        print(f"peak anonymous memory, {mode}: {int(peak) / 1024:.1f} MiB ({count} hits)")
    print(f"load average after: {load()}")


if __name__ == "__main__":
    main()
