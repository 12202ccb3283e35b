// SPDX-License-Identifier: MIT
// The letter masks of residue characters and letter indexes.
#include <gtest/gtest.h>

#include <array>

#include "brisel.h"

namespace {

std::array<std::uint32_t, kCharToBitMapLength> CharMap() {
  std::array<std::uint32_t, kCharToBitMapLength> map;
  map.fill(0xDEADBEEF);
  InitializeCharToBitMap(map.data(), kCharToBitMapLength);
  return map;
}

TEST(CharToBitMap, LettersOfBothCasesShareTheirBit) {
  const auto map = CharMap();
  EXPECT_EQ(CharToMask(map.data(), 'A'), 1u);
  EXPECT_EQ(CharToMask(map.data(), 'a'), 1u);
  EXPECT_EQ(CharToMask(map.data(), 'B'), 2u);
  EXPECT_EQ(CharToMask(map.data(), 'b'), 2u);
  EXPECT_EQ(CharToMask(map.data(), 'X'), 1u << 23);
  EXPECT_EQ(CharToMask(map.data(), 'Z'), 1u << 25);
  EXPECT_EQ(CharToMask(map.data(), 'z'), 1u << 25);
}

TEST(CharToBitMap, EveryOtherCharacterHasMaskZero) {
  const auto map = CharMap();
  for (unsigned char c : {'@', '[', '`', '{', '0', '9', ' ', '\t', '\r', '\n', '*', '-', '.'}) {
    EXPECT_EQ(CharToMask(map.data(), c), 0u) << "character " << int(c);
  }
  for (int c = 123; c < 256; ++c)
    EXPECT_EQ(CharToMask(map.data(), static_cast<unsigned char>(c)), 0u);
  EXPECT_EQ(CharToMask(map.data(), static_cast<unsigned char>(static_cast<char>(-61))), 0u);
}

TEST(CharToBitMap, BothCasesCoverExactlyTheLowTwentySixBits) {
  const auto map = CharMap();
  std::uint32_t upper = 0, lower = 0, all = 0;
  for (char c = 'A'; c <= 'Z'; ++c)
    upper |= map[c];
  for (char c = 'a'; c <= 'z'; ++c)
    lower |= map[c];
  for (std::uint32_t mask : map)
    all |= mask;
  EXPECT_EQ(upper, brisel::kAllLettersMask);
  EXPECT_EQ(lower, brisel::kAllLettersMask);
  EXPECT_EQ(all, 67108863u);
}

TEST(IndexToBitMap, HoldsOneBitPerLetterIndex) {
  std::array<std::uint32_t, 32> map{};
  InitializeIndexToBitMap(map.data(), 26);
  std::uint32_t all = 0;
  for (int i = 0; i < 26; ++i) {
    EXPECT_EQ(map[i], 1u << i);
    all |= map[i];
  }
  EXPECT_EQ(all, 0x3FFFFFFu);
  EXPECT_EQ(map[26], 0u) << "only mapLength entries are written";
}

}  // namespace
