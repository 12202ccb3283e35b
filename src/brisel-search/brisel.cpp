// SPDX-License-Identifier: MIT
// brisel.cpp: the residue tables: the bit maps, which turn residue characters
// and letter indexes into letter masks, and the background residue frequencies.
#include "brisel.h"

void InitializeCharToBitMap(std::uint32_t* charToBitMap, int mapLength) {
  for (int c = 0; c < mapLength; ++c)
    charToBitMap[c] = 0;
  std::uint32_t i = 0;
  for (int c = 'A'; c <= 'Z'; ++c, ++i)
    charToBitMap[c] = std::uint32_t{1} << i;
  i = 0;
  for (int c = 'a'; c <= 'z'; ++c, ++i)
    charToBitMap[c] = std::uint32_t{1} << i;
}

void InitializeIndexToBitMap(std::uint32_t* indexToBitMap, int mapLength) {
  for (int i = 0; i < mapLength; ++i)
    indexToBitMap[i] = std::uint32_t{1} << i;
}

void InitializeCharToPercentageMap(double* charToPercentageMap) {
  struct Frequency {
    char letter;
    double value;
  };
  static constexpr Frequency kFrequencies[] = {
      {'A', 0.0765}, {'C', 0.0162}, {'D', 0.0526}, {'E', 0.0636}, {'F', 0.0412},
      {'G', 0.0686}, {'H', 0.0224}, {'I', 0.0592}, {'K', 0.0597}, {'L', 0.0948},
      {'M', 0.0239}, {'N', 0.044},  {'P', 0.0485}, {'Q', 0.0389}, {'R', 0.052},
      {'S', 0.0705}, {'T', 0.0565}, {'V', 0.0665}, {'W', 0.0123}, {'Y', 0.032},
  };
  for (int c = 0; c < kCharToBitMapLength; ++c)
    charToPercentageMap[c] = 0.0;
  for (const Frequency& f : kFrequencies) {
    charToPercentageMap[static_cast<unsigned char>(f.letter)] = f.value;
    charToPercentageMap[static_cast<unsigned char>(f.letter - 'A' + 'a')] = f.value;
  }
}
