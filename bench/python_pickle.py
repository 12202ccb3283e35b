#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Pickling the hits of a large search, and shards searched in other processes.

    .venv/bin/python bench/python_pickle.py [-f proteins.fasta] [-n RUNS] [-w WORK] [-j THREADS]

Run it with the Python of an environment where the package is installed
(`make python-install`). It builds, into WORK with brisel-makedb (once), the
sequence database of the FASTA file, its 3 shards (--shards 3) and the motif
database of the 16 site patterns of data/; searches the sites at -e 9, then,
RUNS times interleaved, times `hits.to_bytes("tsv")`, `pickle.dumps(hits,
protocol=5)` and `pickle.loads` of it (the databases' pages in the cache: the
load maps the sequence database again by its root and checks every hit
against it). Last, a ProcessPoolExecutor of 3 workers searches the shards, one
each, and their pickled hits joined must be the single search's (every column
and the tsv bytes). Prints the medians, pickle's size and the ratio against
the target (dumps at most 1.5 times to_bytes).
"""

from __future__ import annotations

import argparse
import os
import pickle
import statistics
import subprocess
import sys
import time
from concurrent.futures import ProcessPoolExecutor
from functools import partial
from pathlib import Path
from typing import Callable, TypeVar

import numpy as np

import brisel

ROOT = Path(__file__).resolve().parents[1]
BIN = Path(sys.executable).parent


T = TypeVar("T")


def timed(work: Callable[[], T]) -> tuple[float, T]:
    start = time.perf_counter()
    result = work()
    return time.perf_counter() - start, result


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("-f", "--fasta", default="/work/data/proteins.fasta")
    parser.add_argument("-w", "--work", default="/tmp/brisel-pickle-bench")
    parser.add_argument("-n", "--runs", type=int, default=3)
    parser.add_argument("-j", "--threads", type=int, default=os.cpu_count() or 1)
    options = parser.parse_args()
    work = Path(options.work)
    work.mkdir(parents=True, exist_ok=True)
    makedb = str(BIN / "brisel-makedb")
    for command, root in ((["sequences", "-q", options.fasta], work / "proteins"),
                          (["sequences", "-q", "--shards", "3", options.fasta], work / "shard"),
                          (["motifs", "-q", str(ROOT / "data/site-patterns.txt")], work / "sites")):
        if not (Path(str(root) + "-stats").exists() or Path(str(root) + ".shards").exists()):
            subprocess.run([makedb, *command, str(root)], check=True)
    motifs = brisel.MotifDatabase.open(work / "sites")
    sequences = brisel.SequenceDatabase.open(work / "proteins")
    hits = brisel.search(motifs, sequences, cutoff=9, threads=options.threads)
    print(f"{len(hits):,} hits; load average {os.getloadavg()[0]:.2f}")
    times: dict[str, list[float]] = {"to_bytes": [], "dumps": [], "loads": []}
    size = 0
    for _ in range(options.runs):
        elapsed, _text = timed(partial(hits.to_bytes, "tsv"))
        times["to_bytes"].append(elapsed)
        del _text
        elapsed, saved = timed(partial(pickle.dumps, hits, protocol=5))
        times["dumps"].append(elapsed)
        size = len(saved)
        elapsed, loaded = timed(partial(pickle.loads, saved))
        times["loads"].append(elapsed)
        assert isinstance(loaded, brisel.Hits) and len(loaded) == len(hits)
        del saved, loaded
    medians = {name: statistics.median(values) for name, values in times.items()}
    for name, value in medians.items():
        print(f"{name:9} {value:6.3f} s  (runs: {', '.join(f'{t:.3f}' for t in times[name])})")
    print(f"pickle: {size / 1e6:.0f} MB, {size / len(hits):.1f} bytes a hit; "
          f"dumps / to_bytes(tsv) = {medians['dumps'] / medians['to_bytes']:.2f} (target at most 1.5)")

    shards = brisel.SequenceDatabase.open_shards(work / "shard")
    start = time.perf_counter()
    with ProcessPoolExecutor(max_workers=3) as pool:
        parts = list(pool.map(partial(brisel.search, motifs, cutoff=9, threads=1), shards))
    joined = brisel.Hits.join(parts)
    elapsed = time.perf_counter() - start
    for column in ("sequence", "motif", "start", "end", "expectation", "p_no_random_hit"):
        assert np.array_equal(getattr(joined, column), getattr(hits, column)), column
    assert joined.to_bytes("tsv") == hits.to_bytes("tsv")
    print(f"3 shards in a ProcessPoolExecutor, joined: the single search's {len(joined):,} hits "
          f"({elapsed:.1f} s with the pickling)")


if __name__ == "__main__":
    main()
