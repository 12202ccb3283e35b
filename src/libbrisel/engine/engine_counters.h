// SPDX-License-Identifier: MIT
// engine_counters.h: how many candidates reach and pass each stage of the
// multi-motif engine, so that its thresholds are tuned by measurement.
//
// Stages, in order, for the placements found through the index:
//   windows   windows (of any table) whose bucket holds any motif
//   runs      first checks made: one per run of the motifs of those buckets
//             that share it
//   tested    motifs of passing runs (below the cut-off) whose second check
//             was made
//   checked   of those, motifs that pass it: candidates
//   fitting   of those, placements inside the sequence
//   hits      of those, placements that match in full (the homing letters
//             included, in the indexed search)
// and besides the index:
//   residualWalks / residualHits  motifs walked on their own, and their hits
//   anchoredChecks / anchoredHits anchored motifs checked at their placement
//   fallbackSequences             database sequences searched motif by motif
// and the windows and runs of each table. Each thread keeps its own counters;
// they are added up at the end.
#ifndef BRISEL_ENGINE_ENGINE_COUNTERS_H
#define BRISEL_ENGINE_ENGINE_COUNTERS_H

#include <cstdint>

#include "engine/window_choice.h"

namespace brisel {

struct EngineCounters {
  std::uint64_t sequences = 0;
  std::uint64_t residues = 0;
  std::uint64_t windows = 0;
  std::uint64_t runs = 0;
  std::uint64_t tested = 0;
  std::uint64_t checked = 0;
  std::uint64_t fitting = 0;
  std::uint64_t hits = 0;
  std::uint64_t residualWalks = 0;
  std::uint64_t residualHits = 0;
  std::uint64_t anchoredChecks = 0;
  std::uint64_t anchoredHits = 0;
  std::uint64_t fallbackSequences = 0;
  // Windows and runs by table of the motif index.
  std::uint64_t tableWindows[kMaxTables] = {};
  std::uint64_t tableRuns[kMaxTables] = {};

  EngineCounters& operator+=(const EngineCounters& other) {
    sequences += other.sequences;
    residues += other.residues;
    windows += other.windows;
    runs += other.runs;
    tested += other.tested;
    checked += other.checked;
    fitting += other.fitting;
    hits += other.hits;
    residualWalks += other.residualWalks;
    residualHits += other.residualHits;
    anchoredChecks += other.anchoredChecks;
    anchoredHits += other.anchoredHits;
    fallbackSequences += other.fallbackSequences;
    for (std::uint32_t t = 0; t < kMaxTables; ++t) {
      tableWindows[t] += other.tableWindows[t];
      tableRuns[t] += other.tableRuns[t];
    }
    return *this;
  }
};

}  // namespace brisel

#endif  // BRISEL_ENGINE_ENGINE_COUNTERS_H
