// SPDX-License-Identifier: MIT
// Letter bitmaps list exactly the starts a scan would test, and a placement's
// check order changes nothing but the time it takes.
#include "matching/motif_matching.h"
#include "residues/letter_masks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "database/motif_database.h"
#include "support/motif_db.h"

using namespace brisel;

namespace {

TEST(LetterBitmaps, ListExactlyTheMatchingStartsInOrder) {
  std::mt19937 random(5);
  LetterBitmaps bitmaps;
  for (int round = 0; round < 200; ++round) {
    const std::uint64_t length = std::uniform_int_distribution<std::uint64_t>(1, 300)(random);
    std::vector<std::uint32_t> residues(length);
    for (std::uint32_t& r : residues) {
      const int letter = std::uniform_int_distribution<int>(-1, 25)(random);
      r = letter < 0 ? 0 : std::uint32_t{1} << letter;  // -1: not a letter
    }
    bitmaps.Build(residues.data(), length);
    for (std::uint32_t mask : {Letters("A"), Letters("ILMV"), kAllLettersMask, 0u}) {
      const std::uint64_t offset =
          std::uniform_int_distribution<std::uint64_t>(0, length - 1)(random);
      const std::uint64_t lastStart = length - 1 - offset;
      std::vector<std::uint64_t> expected, listed;
      for (std::uint64_t start = 0; start <= lastStart; ++start) {
        if ((residues[start + offset] & mask) != 0) expected.push_back(start);
      }
      bitmaps.ForEachStartMatching(mask, offset, lastStart,
                                   [&](std::uint64_t start) { listed.push_back(start); });
      ASSERT_EQ(listed, expected) << "length " << length << " offset " << offset;
    }
  }
}

TEST(PlacementMatches, EveryPositionCountsWhateverTheCheckOrder) {
  const std::uint32_t motif[] = {Letters("K"), Letters("LI"), Letters("M")};
  const std::uint32_t klm[] = {Letters("K"), Letters("L"), Letters("M")};
  const std::uint32_t kxm[] = {Letters("K"), 0, Letters("M")};
  for (CheckOrder order : {CheckOrder{0, 2}, CheckOrder{2, 2}, CheckOrder{1, 0}}) {
    EXPECT_TRUE(PlacementMatches(klm, motif, 3, order));
    EXPECT_FALSE(PlacementMatches(kxm, motif, 3, order));
  }
}

}  // namespace
