// SPDX-License-Identifier: MIT
// letter_probabilities.h: how likely a random residue is to hold one of the
// letters of a mask, under the background residue frequencies.
//
// The probability of a mask is the sum of its letters' frequencies, added in
// letter order from 'A' starting at 0.0: the motif builder's specificities,
// the engine's choice of windows and both searches' check orders all sum the
// same way, so their figures agree bit for bit.
#ifndef BRISEL_RESIDUES_LETTER_PROBABILITIES_H
#define BRISEL_RESIDUES_LETTER_PROBABILITIES_H

#include <array>
#include <cstdint>

#include "residues/letter_masks.h"

namespace brisel {

using LetterFrequencies = std::array<double, kLetterCount>;

// The background frequency of each letter from 'A' to 'Z', as a fraction of 1
// (0.0 for B, J, O, U, X and Z): the frequencies of the 20 standard amino
// acids, which add up to 0.9999.
LetterFrequencies BackgroundLetterFrequencies();

// The sum of the frequencies of the letters in `mask` (bits above the 26
// letters are ignored).
double MaskProbability(std::uint32_t mask, const LetterFrequencies& frequencies);

}  // namespace brisel

#endif  // BRISEL_RESIDUES_LETTER_PROBABILITIES_H
