// SPDX-License-Identifier: MIT
// motif_statistics.cpp: specificity, length correction and homing position.
#include "motif_statistics.h"

#include <cmath>

namespace {

double PositionFrequency(std::uint32_t mask, const double* charToPercentageMap) {
  double sum = 0.0;
  for (int i = 0; i < 26; ++i) {
    if ((mask >> i) & 1u) sum += charToPercentageMap['A' + i];
  }
  return sum;
}

}  // namespace

MotifStatistics ComputeMotifStatistics(std::span<const std::uint32_t> positions,
                                       const double* charToPercentageMap) {
  MotifStatistics statistics{1.0, 0.0, 0.0, 0, positions[0]};
  double rarest = 0.0;
  for (std::size_t j = 0; j < positions.size(); ++j) {
    const double frequency = PositionFrequency(positions[j], charToPercentageMap);
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
