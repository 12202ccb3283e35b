// SPDX-License-Identifier: MIT
// window_choice.h: which window of its positions each motif is found through,
// and the few window shapes that the motif index keeps a table for.
//
// A window is three or four (kMaxWindow) positions of a motif, not
// necessarily next to each other: a shape gives their offsets from the first.
// Every combination of letter classes (residue_codes.h) that the window admits
// is a bucket of its shape's table, so a window is usable only when its
// letter sets allow at most kMaxWindowCombinations combinations; it is worth
// using when it matches few random residues (its probability, the product of
// its positions' background frequencies). A motif is walked on its own instead when its best window
// still matches more than kMaxWindowProbability of random residues, or when it has none.
//
// Each table costs a look-up at every residue of every sequence, whatever its
// motifs, so shapes are few. The contiguous shape of kMaxWindow positions
// serves most motifs (a motif narrower than that is seen as followed by x,
// which the residues after it, or the padding after the sequence, always
// match: motif_index.h). For motifs whose contiguous windows are poor or
// missing (patterns rich in `x`, and the many motifs of one pattern's ranges),
// gapped shapes of span up to kMaxShapeSpan are chosen greedily: each round
// adds the shape that saves the most cost per residue (a residual motif
// counted as the placements its walk tries), as long as that saving exceeds
// what a table costs, up to kMaxTables tables in all. Then every motif takes
// its cheapest window among the chosen shapes. A window's cost counts the
// motifs whose windows of the same shape have the same letters: they share
// their buckets, so the motifs of one pattern that differ only in the lengths
// of its ranges can share one window on the part of the pattern between two
// ranges, for the price of a window and a test each (kMotifInBucketCost).
//
// The choice reads only the motifs' filter masks (homing letters folded in for
// the indexed search) and depends on nothing else, so it is deterministic.
#ifndef BRISEL_ENGINE_WINDOW_CHOICE_H
#define BRISEL_ENGINE_WINDOW_CHOICE_H

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "residues/letter_probabilities.h"

namespace brisel {

// The most positions in a window, and the widest a gapped shape may span.
inline constexpr std::uint32_t kMaxWindow = 4;
inline constexpr std::uint32_t kMaxShapeSpan = 32;
// At most this many tables (shapes).
inline constexpr std::uint32_t kMaxTables = 8;

// Thresholds of the choice, set by measurement (bench/README.md). A window is
// enumerated only up to this many letter combinations...
inline constexpr std::uint64_t kMaxWindowCombinations = 4096;
// ...and a motif whose best window matches a larger share of random residues
// is walked motif by motif.
inline constexpr double kMaxWindowProbability = 0.05;
// What a table's look-up at every residue costs, in windows per residue: a
// gapped shape is added only when it saves more.
inline constexpr double kTableCost = 0.1;
// What a motif in a bucket costs at each window of the bucket (its first test,
// or its second within a run that passed), as a share of the window's own.
inline constexpr double kMotifInBucketCost = 0.3;

struct WindowShape {
  std::uint32_t size = 0;                          // positions: 3 or 4 (any up to 4 in tests)
  std::array<std::uint8_t, kMaxWindow> offsets{};  // ascending from 0

  std::uint32_t span() const { return size == 0 ? 0 : offsets[size - 1] + 1u; }
  friend bool operator==(const WindowShape&, const WindowShape&) = default;
};

// The contiguous shape of `size` positions.
WindowShape ContiguousShape(std::uint32_t size);

// One motif as the choice sees it: its filter masks, at least kMaxWindow of
// them, or none when it is not to be indexed at all (anchored motifs, motifs
// that match nothing).
struct WindowCandidate {
  const std::uint32_t* masks = nullptr;
  std::uint32_t width = 0;
  std::uint32_t walkOffset = 0;  // the position whose letters a walk of it visits
};

inline constexpr std::uint32_t kNoTable = 0xFF;

struct MotifWindow {
  std::uint32_t table = kNoTable;  // none: walked on its own (or not indexed at all)
  std::uint32_t offset = 0;        // the motif position of the window's first position
  double probability = 2.0;
};

struct WindowPlan {
  std::vector<WindowShape> shapes;   // one per table, each used by some motif
  std::vector<MotifWindow> windows;  // one per candidate
};

// Background probability of a letter mask (each letter's frequency, rare
// letters counted as kRareLetterFrequency), shared with the check choice.
class LetterOdds {
 public:
  LetterOdds();
  double Probability(std::uint32_t mask) const { return MaskProbability(mask, letterFrequency_); }

 private:
  LetterFrequencies letterFrequency_;
};

WindowPlan ChooseWindows(std::span<const WindowCandidate> motifs);

}  // namespace brisel

#endif  // BRISEL_ENGINE_WINDOW_CHOICE_H
