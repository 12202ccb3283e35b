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

// The q-grams that end at a residue, packed in one word: the last four letter
// codes in base 26 (bits 0 to 18, the latest least significant) and how many
// letters in a row end there, up to four (bits 20 to 22). A window of q is
// looked up only when q letters end at its last residue.
inline constexpr std::uint32_t kRunShift = 20;
inline constexpr std::uint32_t kKeyMask = (1u << kRunShift) - 1;

// Forms the packed keys of a sequence residue by residue. The key is formed
// from the last four codes afresh at each residue, so that no residue waits
// for the arithmetic of the one before.
class KeyFormer {
 public:
  // The key at the next residue, of letter code `code` (kNoLetter for none).
  std::uint32_t Next(std::uint32_t code) {
    const bool letter = code != kNoLetter;
    run_ = letter ? (run_ < kMaxWindow ? run_ + 1 : run_) : 0;
    codes_[3] = codes_[2];
    codes_[2] = codes_[1];
    codes_[1] = codes_[0];
    codes_[0] = letter ? code : 0;
    const std::uint32_t key = ((codes_[3] * 26 + codes_[2]) * 26 + codes_[1]) * 26 + codes_[0];
    return key | run_ << kRunShift;
  }

 private:
  std::uint32_t codes_[kMaxWindow] = {0, 0, 0, 0};
  std::uint32_t run_ = 0;
};

struct PassInput {
  const std::uint32_t* residues;  // letter masks, each one letter's bit or 0
  const std::uint32_t* keys;      // KeyFormer's key of each residue
  std::uint64_t length;
  std::uint32_t stop;  // motifs from here on are past the cut-off
  bool homing;
};

void FindIndexedHits(const MotifIndex& index, const PassInput& input, std::vector<EngineHit>& hits,
                     EngineCounters& counters);

#endif  // BRISEL_ENGINE_SEQUENCE_PASS_H
