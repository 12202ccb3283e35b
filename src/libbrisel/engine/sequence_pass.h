// SPDX-License-Identifier: MIT
// sequence_pass.h: one pass over a sequence's residues that finds the hits of
// every indexed motif.
//
// The pass takes the residues in segments, and each segment table by table.
// It first gathers the windows whose bucket holds any motif (a kernel of
// pass_kernels.h: the codes of 64 windows at a time, then their bits in the
// table's bitmap), then tests every run of those windows' buckets by its
// first test, without a branch, prefetching the buckets' runs ahead and
// noting the runs that pass (below the cut-off), and then verifies the noted
// runs' motifs: each by its second test, and what passes both in full, where
// its placement fits the sequence.
//
// The input is the padded letter codes of residue_codes.h and their classes:
// every code is a letter (0 to 25) or kNoLetter, which matches nothing, and
// the padding lets windows and checks read past either end of the sequence.
//
// With `homing` (the indexed search) a placement counts only when the residue
// at the motif's homing position is one of its homing letters, the condition
// under which the letter position lists would have led to it (the filter masks
// hold it), and the hit records that letter, which orders the hits of one
// motif. Hits are appended in the order the pass meets them; the caller sorts
// them.
#ifndef BRISEL_ENGINE_SEQUENCE_PASS_H
#define BRISEL_ENGINE_SEQUENCE_PASS_H

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/engine_counters.h"
#include "engine/motif_index.h"
#include "engine/pass_kernels.h"

namespace brisel {

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
  GatherKernel gather;          // pass_kernels.h
  const std::uint8_t* codes;    // padded letter codes (residue_codes.h)
  const std::uint8_t* classes;  // and their classes
  std::uint64_t length;
  std::uint32_t stop;  // motifs from here on are past the cut-off
  bool homing;
};

// A worker's buffers of gathered windows and of runs that passed their first
// check, kept from one sequence to the next.
class WindowBuffer {
 public:
  WindowRef* Reserve(std::size_t count) { return Grown(windows_, capacity_, count); }
  std::uint64_t* ReservePassed(std::size_t count) { return Grown(passed_, passedCapacity_, count); }

 private:
  static std::uint64_t* Grown(std::unique_ptr<std::uint64_t[]>& buffer, std::size_t& capacity,
                              std::size_t count) {
    if (count > capacity) {
      buffer = std::make_unique_for_overwrite<std::uint64_t[]>(count);
      capacity = count;
    }
    return buffer.get();
  }

  std::unique_ptr<std::uint64_t[]> windows_;
  std::size_t capacity_ = 0;
  std::unique_ptr<std::uint64_t[]> passed_;
  std::size_t passedCapacity_ = 0;
};

// The windows of table t that start at residues `from` to `to` and whose
// bucket holds any motif, in order, their starts counted from `from`;
// `windows` must hold to - from. Returns how many. (The first half of the
// pass, on its own for the profile.)
std::size_t GatherWindows(const MotifIndex& index, const PassInput& input, std::uint32_t t,
                          std::uint64_t from, std::uint64_t to, WindowRef* windows);

void FindIndexedHits(const MotifIndex& index, const PassInput& input, WindowBuffer& windows,
                     std::vector<EngineHit>& hits, EngineCounters& counters);

}  // namespace brisel

#endif  // BRISEL_ENGINE_SEQUENCE_PASS_H
