// SPDX-License-Identifier: MIT
// letter_masks.h: residues and motif positions as letter masks.
//
// A letter mask is a 32-bit value in which bit i stands for the letter 'A'+i,
// upper and lower case alike; bits 26 to 31 are 0, and every byte that is not
// a letter has the mask 0. All 26 letters are alike: B, J, O, U, X and Z have
// bits of their own, and no letter stands for others. A motif position
// matches a residue when the AND of their masks is not 0. Each letter also has
// an index, 0 for 'A' to 25 for 'Z', the order in which a sequence's letter
// position lists are kept and walked.
#ifndef BRISEL_RESIDUES_LETTER_MASKS_H
#define BRISEL_RESIDUES_LETTER_MASKS_H

#include <array>
#include <cstdint>

namespace brisel {

inline constexpr int kLetterCount = 26;
inline constexpr std::uint32_t kAllLettersMask = 0x3FFFFFFu;
// The letter index of a byte that is not a letter.
inline constexpr std::uint8_t kNotALetter = kLetterCount;

// The residue mask and the letter index of every byte value.
struct ResidueTables {
  std::array<std::uint32_t, 256> mask{};
  std::array<std::uint8_t, 256> letter{};
};

constexpr ResidueTables MakeResidueTables() {
  ResidueTables tables;
  tables.letter.fill(kNotALetter);
  for (int k = 0; k < kLetterCount; ++k) {
    for (const int c : {'A' + k, 'a' + k}) {
      tables.mask[c] = std::uint32_t{1} << k;
      tables.letter[c] = static_cast<std::uint8_t>(k);
    }
  }
  return tables;
}

inline constexpr ResidueTables kResidueTables = MakeResidueTables();

// The mask of one byte.
constexpr std::uint32_t LetterMaskOf(unsigned char c) {
  return kResidueTables.mask[c];
}

}  // namespace brisel

#endif  // BRISEL_RESIDUES_LETTER_MASKS_H
