// SPDX-License-Identifier: MIT
// motif_matching.cpp: first-check positions and letter bitmaps.
#include "matching/motif_matching.h"

#include <algorithm>

#include "database/motif_database.h"
#include "residues/letter_masks.h"
#include "residues/letter_probabilities.h"

namespace brisel {

std::vector<CheckOrder> MotifCheckOrders(const MotifViews& motifs, bool avoidHoming) {
  const LetterFrequencies frequencies = BackgroundLetterFrequencies();
  const auto frequencyOf = [&](std::uint32_t mask) { return MaskProbability(mask, frequencies); };

  std::vector<CheckOrder> orders(MotifCountOf(motifs));
  for (std::uint32_t m = 0; m < MotifCountOf(motifs); ++m) {
    const std::uint32_t* positions = motifs.bitMotifs + motifs.bitIndices[m];
    const std::uint32_t width = MotifWidth(motifs, m);
    const std::uint32_t skipped = avoidHoming && width > 1 ? motifs.offsets[m] : width;
    orders[m] = TwoRarestPositions(
        positions, width, frequencyOf, [&](std::uint32_t j) { return j != skipped; }, 0);
  }
  return orders;
}

void LetterBitmaps::Build(const std::uint32_t* residues, std::uint64_t length) {
  words_ = length / 64 + 1;
  letters_.assign((kLetterCount + 1) * words_, 0);
  std::uint64_t* any = letters_.data() + kLetterCount * words_;
  for (std::uint64_t p = 0; p < length; ++p) {
    const std::uint64_t bit = std::uint64_t{1} << (p % 64);
    std::uint32_t mask = residues[p] & kAllLettersMask;
    if (mask != 0) any[p / 64] |= bit;
    while (mask != 0) {
      letters_[std::countr_zero(mask) * words_ + p / 64] |= bit;
      mask &= mask - 1;
    }
  }
}

const std::uint64_t* LetterBitmaps::BitmapOf(std::uint32_t mask) {
  mask &= kAllLettersMask;
  if (mask == kAllLettersMask) return letters_.data() + kLetterCount * words_;
  if (mask != 0 && (mask & (mask - 1)) == 0)
    return letters_.data() + std::countr_zero(mask) * words_;
  scratch_.assign(words_, 0);
  while (mask != 0) {
    const std::uint64_t* letter = letters_.data() + std::countr_zero(mask) * words_;
    for (std::uint64_t w = 0; w < words_; ++w)
      scratch_[w] |= letter[w];
    mask &= mask - 1;
  }
  return scratch_.data();
}

}  // namespace brisel
