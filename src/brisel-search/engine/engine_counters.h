// SPDX-License-Identifier: MIT
// engine_counters.h: how many candidates reach and pass each stage of the
// multi-motif engine, so that its thresholds are tuned by measurement.
//
// Stages, in order, for the placements found through the index:
//   windows   q-gram windows of letters whose bucket holds any motif
//   entries   motifs read from the buckets of those windows (below the cut-off)
//   fitting   of those, placements inside the sequence
//   checked   of those, placements that pass the entry's own checks (the
//             two most selective positions outside the window)
//   hits      of those, placements that match in full (the homing letters
//             included, in the indexed search)
// and besides the index:
//   residualWalks / residualHits  motifs walked on their own, and their hits
//   anchoredChecks / anchoredHits anchored motifs checked at their placement
//   fallbackSequences             database sequences searched motif by motif
// Each thread keeps its own counters; they are added up at the end.
#ifndef BRISEL_ENGINE_ENGINE_COUNTERS_H
#define BRISEL_ENGINE_ENGINE_COUNTERS_H

#include <cstdint>

struct EngineCounters {
  std::uint64_t sequences = 0;
  std::uint64_t residues = 0;
  std::uint64_t windows = 0;
  std::uint64_t entries = 0;
  std::uint64_t fitting = 0;
  std::uint64_t checked = 0;
  std::uint64_t hits = 0;
  std::uint64_t residualWalks = 0;
  std::uint64_t residualHits = 0;
  std::uint64_t anchoredChecks = 0;
  std::uint64_t anchoredHits = 0;
  std::uint64_t fallbackSequences = 0;

  EngineCounters& operator+=(const EngineCounters& other) {
    sequences += other.sequences;
    residues += other.residues;
    windows += other.windows;
    entries += other.entries;
    fitting += other.fitting;
    checked += other.checked;
    hits += other.hits;
    residualWalks += other.residualWalks;
    residualHits += other.residualHits;
    anchoredChecks += other.anchoredChecks;
    anchoredHits += other.anchoredHits;
    fallbackSequences += other.fallbackSequences;
    return *this;
  }
};

#endif  // BRISEL_ENGINE_ENGINE_COUNTERS_H
