// SPDX-License-Identifier: MIT
// hit_statistics.cpp: the factor of the probability of no random hit.
#include "statistics/hit_statistics.h"

#include <cmath>

namespace brisel {

double CutoffFromExponent(std::int32_t exponent) {
  return std::pow(10.0, static_cast<double>(exponent));
}

void MultiplyProbabilityOfNoRandomHit(HitStatistics& statistics, double specificity,
                                      std::uint64_t placements) {
  // For the one placement of an anchored motif, pow(1 - s, 1) is 1 - s exactly.
  const double noMatch = 1.0 - specificity;
  statistics.probabilityOfNoRandomHit *= std::pow(noMatch, static_cast<double>(placements));
}

}  // namespace brisel
