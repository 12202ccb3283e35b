// SPDX-License-Identifier: MIT
// letter_probabilities.cpp: the background frequencies by letter and the
// probability of a mask.
#include "statistics/letter_probabilities.h"

#include <bit>

LetterFrequencies BackgroundLetterFrequencies() {
  double charToPercentageMap[kCharToBitMapLength];
  InitializeCharToPercentageMap(charToPercentageMap);
  LetterFrequencies frequencies;
  for (int k = 0; k < kLetterCount; ++k)
    frequencies[k] = charToPercentageMap['A' + k];
  return frequencies;
}

double MaskProbability(std::uint32_t mask, const LetterFrequencies& frequencies) {
  double sum = 0.0;
  for (mask &= kAllLettersMask; mask != 0; mask &= mask - 1)
    sum += frequencies[std::countr_zero(mask)];
  return sum;
}
