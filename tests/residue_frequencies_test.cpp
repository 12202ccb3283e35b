// SPDX-License-Identifier: MIT
// The background residue frequencies.
#include <gtest/gtest.h>

#include <array>

#include "brisel.h"

namespace {

std::array<double, kCharToBitMapLength> Frequencies() {
  std::array<double, kCharToBitMapLength> map;
  map.fill(-1.0);
  InitializeCharToPercentageMap(map.data());
  return map;
}

TEST(ResidueFrequencies, LargestAndSmallest) {
  const auto f = Frequencies();
  EXPECT_EQ(f['L'], 0.0948);
  EXPECT_EQ(f['l'], 0.0948);
  EXPECT_EQ(f['W'], 0.0123);
  EXPECT_EQ(f['w'], 0.0123);
  for (double value : f) {
    EXPECT_LE(value, 0.0948);
    EXPECT_GE(value, 0.0);
  }
}

TEST(ResidueFrequencies, NonStandardLettersAndOtherCodesAreZero) {
  const auto f = Frequencies();
  for (char c : {'B', 'J', 'O', 'U', 'X', 'Z', 'b', 'x', 'z', '*', '\0', '@', '['}) {
    EXPECT_EQ(f[static_cast<unsigned char>(c)], 0.0) << "code " << int(c);
  }
}

TEST(ResidueFrequencies, BothCasesSumToNearlyOne) {
  const auto f = Frequencies();
  double upper = 0.0, lower = 0.0;
  int nonZero = 0;
  for (char c = 'A'; c <= 'Z'; ++c) {
    upper += f[c];
    lower += f[c - 'A' + 'a'];
    EXPECT_EQ(f[c], f[c - 'A' + 'a']);
    nonZero += f[c] != 0.0;
  }
  EXPECT_EQ(nonZero, 20);
  EXPECT_NEAR(upper, 0.9999, 1e-12);
  EXPECT_EQ(upper, lower);
}

}  // namespace
