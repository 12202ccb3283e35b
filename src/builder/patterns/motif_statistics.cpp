// SPDX-License-Identifier: MIT
// motif_statistics.cpp: specificity, length correction and homing position.
#include "patterns/motif_statistics.h"

#include <cmath>

namespace brisel {

MotifStatistics ComputeMotifStatistics(std::span<const std::uint32_t> positions,
                                       const LetterFrequencies& frequencies) {
  MotifStatistics statistics{1.0, 0.0, 0.0, 0, positions[0]};
  double rarest = 0.0;
  for (std::size_t j = 0; j < positions.size(); ++j) {
    const double frequency = MaskProbability(positions[j], frequencies);
    statistics.specificity *= frequency;
    if (j == 0 || frequency < rarest) {
      rarest = frequency;
      statistics.homingPosition = static_cast<std::uint32_t>(j);
      statistics.homingMask = positions[j];
    }
  }
  statistics.lengthCorrection = static_cast<double>(positions.size()) * statistics.specificity;
  statistics.logSpecificity = std::log10(statistics.specificity);
  return statistics;
}

}  // namespace brisel
