// SPDX-License-Identifier: MIT
// motif_matching.h: testing placements of a motif, for both searches.
//
// A placement matches when every motif position shares a letter with the
// residue under it; the order in which the positions are tested changes only
// the time it takes. Each motif's two most selective positions (those whose
// letters are rarest under the background frequencies, the earliest on ties)
// are tested first, since a placement fails there most often. The indexed
// search leaves the homing position out of that choice: its residue is a homing
// letter by construction.
//
// LetterBitmaps holds, for one sequence, a bitmap per letter of the positions
// whose residue holds that letter, so that the scan search can list the starts
// at which a motif's most selective position matches without looking at every
// start.
#ifndef BRISEL_MOTIF_MATCHING_H
#define BRISEL_MOTIF_MATCHING_H

#include <bit>
#include <cstdint>
#include <vector>

#include "database/motif_database.h"

namespace brisel {

// The positions of a motif to test first and second.
struct CheckOrder {
  std::uint32_t first;
  std::uint32_t second;
};

// The two positions with the lowest `probability(mask)` among those that
// `consider(j)` accepts, the lower first, the earliest on ties; the second is
// the first when only one is accepted, and both are `fallback` when none is.
template <typename Probability, typename Consider>
CheckOrder TwoRarestPositions(const std::uint32_t* masks, std::uint32_t width,
                              Probability probability, Consider consider, std::uint32_t fallback) {
  std::uint32_t best[2] = {fallback, fallback};
  double rarity[2] = {3.0, 3.0};  // above any sum of frequencies
  for (std::uint32_t j = 0; j < width; ++j) {
    if (!consider(j)) continue;
    const double p = probability(masks[j]);
    if (p < rarity[0]) {
      best[1] = best[0];
      rarity[1] = rarity[0];
      best[0] = j;
      rarity[0] = p;
    } else if (p < rarity[1]) {
      best[1] = j;
      rarity[1] = p;
    }
  }
  if (rarity[1] > 2.0) best[1] = best[0];
  return {best[0], best[1]};
}

// The check order of every motif of the database; with `avoidHoming` the
// homing position is chosen only for a motif of one position.
std::vector<CheckOrder> MotifCheckOrders(const MotifViews& motifs, bool avoidHoming);

// Whether the motif matches the residues from `residues` on, testing the
// positions of `order` before the others.
inline bool PlacementMatches(const std::uint32_t* residues, const std::uint32_t* motif,
                             std::uint32_t motifWidth, CheckOrder order) {
  if ((residues[order.first] & motif[order.first]) == 0) return false;
  if ((residues[order.second] & motif[order.second]) == 0) return false;
  for (std::uint32_t j = 0; j < motifWidth; ++j) {
    if ((residues[j] & motif[j]) == 0) return false;
  }
  return true;
}

class LetterBitmaps {
 public:
  // Builds the bitmaps of a sequence of `length` residue masks.
  void Build(const std::uint32_t* residues, std::uint64_t length);

  // Calls visit(start) for each start from 0 to lastStart, in increasing order,
  // at which position `offset` of a motif, with letter mask `mask`, shares a
  // letter with the residue under it.
  template <typename Visit>
  void ForEachStartMatching(std::uint32_t mask, std::uint64_t offset, std::uint64_t lastStart,
                            Visit visit);

 private:
  const std::uint64_t* BitmapOf(std::uint32_t mask);

  std::uint64_t words_ = 0;
  std::vector<std::uint64_t> letters_;  // 26 bitmaps of words_ words, then "any letter"
  std::vector<std::uint64_t> scratch_;
};

template <typename Visit>
void LetterBitmaps::ForEachStartMatching(std::uint32_t mask, std::uint64_t offset,
                                         std::uint64_t lastStart, Visit visit) {
  const std::uint64_t* bitmap = BitmapOf(mask);
  const std::uint64_t firstPosition = offset;
  const std::uint64_t lastPosition = lastStart + offset;
  for (std::uint64_t word = firstPosition / 64; word <= lastPosition / 64; ++word) {
    std::uint64_t bits = bitmap[word];
    if (word == firstPosition / 64) bits &= ~std::uint64_t{0} << (firstPosition % 64);
    if (word == lastPosition / 64 && lastPosition % 64 != 63) {
      bits &= (std::uint64_t{1} << (lastPosition % 64 + 1)) - 1;
    }
    while (bits != 0) {
      visit(word * 64 + static_cast<std::uint64_t>(std::countr_zero(bits)) - offset);
      bits &= bits - 1;
    }
  }
}

}  // namespace brisel

#endif  // BRISEL_MOTIF_MATCHING_H
