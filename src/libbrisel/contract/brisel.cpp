// SPDX-License-Identifier: MIT
// brisel.cpp: the residue tables, filled from the library's letter masks and
// background frequencies.
#include "brisel.h"

#include "residues/letter_probabilities.h"

void InitializeCharToBitMap(std::uint32_t* charToBitMap, int mapLength) {
  for (int c = 0; c < mapLength; ++c)
    charToBitMap[c] = 0;
  for (int k = 0; k < brisel::kLetterCount; ++k) {
    charToBitMap['A' + k] = brisel::LetterMaskOf(static_cast<unsigned char>('A' + k));
    charToBitMap['a' + k] = brisel::LetterMaskOf(static_cast<unsigned char>('a' + k));
  }
}

void InitializeIndexToBitMap(std::uint32_t* indexToBitMap, int mapLength) {
  for (int i = 0; i < mapLength; ++i)
    indexToBitMap[i] = std::uint32_t{1} << i;
}

void InitializeCharToPercentageMap(double* charToPercentageMap) {
  for (int c = 0; c < kCharToBitMapLength; ++c)
    charToPercentageMap[c] = 0.0;
  const brisel::LetterFrequencies frequencies = brisel::BackgroundLetterFrequencies();
  for (int k = 0; k < brisel::kLetterCount; ++k) {
    charToPercentageMap['A' + k] = frequencies[k];
    charToPercentageMap['a' + k] = frequencies[k];
  }
}
