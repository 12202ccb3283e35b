// SPDX-License-Identifier: MIT
// The hit statistics in extended precision, and the per-length memo's E and P,
// which must have the bits of the statistics applied motif by motif.
#include "statistics/hit_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "database/motif_database.h"
#include "statistics/length_statistics.h"

using namespace brisel;

namespace {

TEST(HitStatistics, WorkedExample) {
  HitStatistics stats;
  ASSERT_TRUE(AddExpectedRandomHits(stats, 9, 0.001, 0.003, 0.01));
  MultiplyProbabilityOfNoRandomHit(stats, 0.001, 7);
  EXPECT_EQ(stats.expectation, static_cast<double>(((9.0L * 0.001L) - 0.003L) + 0.001L));
  EXPECT_EQ(stats.probabilityOfNoRandomHit, std::pow(1.0 - 0.001, 7.0));
  EXPECT_FALSE(AddExpectedRandomHits(stats, 9, 0.001, 0.0, 0.01)) << "0.017 passes 0.01";
}

TEST(HitStatistics, ASumEqualToTheCutoffDoesNotEndTheLoop) {
  HitStatistics stats;
  EXPECT_TRUE(AddExpectedRandomHits(stats, 3, 0.25, 0.0, 1.0));
  EXPECT_EQ(stats.expectation, 1.0);
}

TEST(HitStatistics, TheUnroundedSumIsComparedWithTheCutoff) {
  // 0.75 + 2^-60 + 0.25 is exact in a 64-bit significand and above 1.0, but
  // rounds to 1.0 in double: the motif must still be cut off.
  HitStatistics stats;
  EXPECT_FALSE(AddExpectedRandomHits(stats, 3, 0.25, -std::ldexp(1.0, -60), 1.0));
  EXPECT_EQ(stats.expectation, 1.0) << "the running value is the rounded sum";
}

TEST(HitStatistics, TheSumIsFormedInTheStatedOrder) {
  // L x s - c cancels exactly in extended precision; a double product would
  // round first and leave a residue.
  const double s = 0.1;
  const double c = static_cast<double>(3.0L * 0.1L);  // rounds the extended product
  HitStatistics stats;
  AddExpectedRandomHits(stats, 3, s, c, 1e300);
  const long double expected = ((3.0L * static_cast<long double>(s)) - c) + s;
  EXPECT_EQ(stats.expectation, static_cast<double>(expected));
}

TEST(HitStatistics, AnAnchoredMotifCountsOnePlacement) {
  // The worked example's motif (width 3, s = 0.001, c = 0.003), then the same
  // motif tied to the C-terminus, in a sequence of 9 residues.
  const double specificities[] = {0.001, 0.001};
  const double lengthCorrections[] = {0.003, 0.003};
  const std::uint32_t bitIndices[] = {0, 3, 6};
  std::uint8_t anchors[] = {kUnanchored, kAnchoredAtEnd};
  MotifViews motifs{};
  motifs.specificities = specificities;
  motifs.lengthCorrections = lengthCorrections;
  motifs.bitIndices = bitIndices;
  motifs.anchors = anchors;

  HitStatistics stats;
  for (std::uint32_t m = 0; m < 2; ++m) {
    ASSERT_TRUE(MotifHasPlacement(motifs, m, 9));
    ASSERT_TRUE(AddMotifExpectedRandomHits(stats, motifs, m, 9, 0.01));
    MultiplyMotifProbabilityOfNoRandomHit(stats, motifs, m, 9);
  }
  const long double first = ((9.0L * 0.001L) - 0.003L) + 0.001L;
  EXPECT_EQ(stats.expectation, static_cast<double>(0.001L + static_cast<double>(first)));
  EXPECT_EQ(stats.probabilityOfNoRandomHit, std::pow(1.0 - 0.001, 7.0) * (1.0 - 0.001));
  EXPECT_FALSE(AddAnchoredExpectedRandomHits(stats, 0.002000001, 0.01)) << "0.010000001";

  // Where an anchored motif has no placement it counts nowhere.
  EXPECT_FALSE(MotifHasPlacement(motifs, 1, 2));
  anchors[1] = kAnchoredAtBothEnds;
  EXPECT_FALSE(MotifHasPlacement(motifs, 1, 9));
  EXPECT_TRUE(MotifHasPlacement(motifs, 1, 3));
  EXPECT_EQ(PlacementCount(kAnchoredAtStart, 3, 9), 1u);
  EXPECT_EQ(AnchoredStart(kAnchoredAtEnd, 3, 9), 6u);
  EXPECT_EQ(AnchoredStart(kAnchoredAtStart, 3, 9), 0u);
}

// Random motifs of widths 1 to 12, some anchored, and specificities across
// many decades; each length's E and P from the memo's cursor, at hits spread
// over the motifs, against the same steps taken motif by motif.
TEST(LengthStatistics, GivesTheBitsOfTheStatisticsTakenMotifByMotif) {
  std::mt19937 random(9);
  std::vector<double> specificities, lengthCorrections;
  std::vector<std::uint32_t> bitIndices{0};
  std::vector<std::uint8_t> anchors;
  for (int m = 0; m < 700; ++m) {
    const double s = std::pow(10.0, -std::uniform_real_distribution<double>(0.1, 12)(random));
    const std::uint32_t width = std::uniform_int_distribution<std::uint32_t>(1, 12)(random);
    specificities.push_back(s);
    lengthCorrections.push_back(width * s);
    bitIndices.push_back(bitIndices.back() + width);
    anchors.push_back(random() % 5 == 0 ? static_cast<std::uint8_t>(1 + random() % 3) : 0);
  }
  MotifViews motifs{};
  motifs.specificities = specificities.data();
  motifs.lengthCorrections = lengthCorrections.data();
  motifs.bitIndices = bitIndices.data();
  motifs.anchors = anchors.data();
  motifs.counts = {static_cast<std::uint32_t>(specificities.size()), bitIndices.back(), 0};

  for (const double cutoff : {1e-3, 1e9}) {
    for (const std::uint64_t length : {1u, 7u, 12u, 370u, 35000u}) {
      LengthStatistics memo(motifs, length, cutoff);
      LengthStatistics::Cursor cursor(memo);
      HitStatistics eager;
      std::uint32_t m = 0;
      for (; m < specificities.size(); ++m) {
        if (!MotifHasPlacement(motifs, m, length)) continue;
        if (!AddMotifExpectedRandomHits(eager, motifs, m, length, cutoff)) break;
        MultiplyMotifProbabilityOfNoRandomHit(eager, motifs, m, length);
        if (random() % 9 == 0) {  // a hit: E and P are needed
          const HitStatistics& at = cursor.At(m);
          ASSERT_EQ(at.expectation, eager.expectation) << m;
          ASSERT_EQ(at.probabilityOfNoRandomHit, eager.probabilityOfNoRandomHit) << m;
        }
      }
      EXPECT_EQ(memo.stop(), m) << "the motif that passes the cut-off";
    }
  }
}

}  // namespace
