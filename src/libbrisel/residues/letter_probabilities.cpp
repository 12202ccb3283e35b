// SPDX-License-Identifier: MIT
// letter_probabilities.cpp: the background frequencies by letter and the
// probability of a mask.
#include "residues/letter_probabilities.h"
#include "residues/letter_masks.h"

#include <bit>

namespace brisel {

LetterFrequencies BackgroundLetterFrequencies() {
  LetterFrequencies frequencies{};
  frequencies['A' - 'A'] = 0.0765;
  frequencies['C' - 'A'] = 0.0162;
  frequencies['D' - 'A'] = 0.0526;
  frequencies['E' - 'A'] = 0.0636;
  frequencies['F' - 'A'] = 0.0412;
  frequencies['G' - 'A'] = 0.0686;
  frequencies['H' - 'A'] = 0.0224;
  frequencies['I' - 'A'] = 0.0592;
  frequencies['K' - 'A'] = 0.0597;
  frequencies['L' - 'A'] = 0.0948;
  frequencies['M' - 'A'] = 0.0239;
  frequencies['N' - 'A'] = 0.044;
  frequencies['P' - 'A'] = 0.0485;
  frequencies['Q' - 'A'] = 0.0389;
  frequencies['R' - 'A'] = 0.052;
  frequencies['S' - 'A'] = 0.0705;
  frequencies['T' - 'A'] = 0.0565;
  frequencies['V' - 'A'] = 0.0665;
  frequencies['W' - 'A'] = 0.0123;
  frequencies['Y' - 'A'] = 0.032;
  return frequencies;
}

double MaskProbability(std::uint32_t mask, const LetterFrequencies& frequencies) {
  double sum = 0.0;
  for (mask &= kAllLettersMask; mask != 0; mask &= mask - 1)
    sum += frequencies[std::countr_zero(mask)];
  return sum;
}

}  // namespace brisel
