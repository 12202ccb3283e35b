// SPDX-License-Identifier: MIT
// motif_statistics.h: the statistics of a fixed-width motif under the
// background residue frequencies f.
//
// - specificity s: the chance that a random segment matches, the product over
//   the positions (in order) of the sum of f over the letters each allows
//   (summed from 'A' to 'Z');
// - length correction c = W x s, so that the search adds L x s - c + s =
//   s x (L - W + 1), the motif's expected number of random hits, to the
//   expectation of a sequence of length L;
// - log specificity: log10(s);
// - homing position: the position whose letters have the smallest sum of f, the
//   earliest on ties; the homing mask is exactly that position's mask, so the
//   indexed search finds every hit that the scan search finds.
#ifndef BRISEL_MAKEDB_MOTIF_STATISTICS_H
#define BRISEL_MAKEDB_MOTIF_STATISTICS_H

#include <cstdint>
#include <span>

#include "residues/letter_probabilities.h"

namespace brisel {

struct MotifStatistics {
  double specificity;
  double logSpecificity;
  double lengthCorrection;
  std::uint32_t homingPosition;
  std::uint32_t homingMask;
};

// The motif has at least one position; `frequencies` are the background
// frequencies (BackgroundLetterFrequencies).
MotifStatistics ComputeMotifStatistics(std::span<const std::uint32_t> positions,
                                       const LetterFrequencies& frequencies);

}  // namespace brisel

#endif  // BRISEL_MAKEDB_MOTIF_STATISTICS_H
