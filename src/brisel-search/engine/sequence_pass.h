// SPDX-License-Identifier: MIT
// sequence_pass.h: one pass over a sequence's residues that finds the hits of
// every indexed motif.
//
// At each residue the pass forms the q-grams that end there, looks each one up
// in its table of the motif index, and verifies in full every motif of the
// bucket below the cut-off whose placement fits the sequence. The input must
// be a sequence the index serves: each residue mask is one letter's bit (code
// 0 to 25) or 0 (code kNoLetter, which matches nothing).
//
// With `homing` (the indexed search) a placement counts only when the residue
// at the motif's homing position is one of its homing letters, the condition
// under which the letter position lists would have led to it, and the hit
// records that letter, which orders the hits of one motif. Hits are appended
// in the order the pass meets them; the caller sorts them.
#ifndef BRISEL_ENGINE_SEQUENCE_PASS_H
#define BRISEL_ENGINE_SEQUENCE_PASS_H

#include <cstdint>
#include <vector>

#include "engine/engine_counters.h"
#include "engine/motif_index.h"

inline constexpr std::uint8_t kNoLetter = 26;

struct EngineHit {
  std::uint32_t motif;
  std::uint32_t letter;  // homing letter index (indexed search), else 0
  std::uint64_t start;

  friend bool operator<(const EngineHit& a, const EngineHit& b) {
    if (a.motif != b.motif) return a.motif < b.motif;
    if (a.letter != b.letter) return a.letter < b.letter;
    return a.start < b.start;
  }
};

struct PassInput {
  const std::uint32_t* residues;  // letter masks, each one letter's bit or 0
  const std::uint8_t* codes;      // their letter codes, kNoLetter for 0
  std::uint64_t length;
  std::uint32_t stop;  // motifs from here on are past the cut-off
  bool homing;
};

void FindIndexedHits(const MotifIndex& index, const PassInput& input, std::vector<EngineHit>& hits,
                     EngineCounters& counters);

#endif  // BRISEL_ENGINE_SEQUENCE_PASS_H
