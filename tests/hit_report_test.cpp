// SPDX-License-Identifier: MIT
// The hit statistics in extended precision and the format of the hit line.
#include "hit_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/motif_database.h"

namespace {

TEST(HitStatistics, WorkedExample) {
  HitStatistics stats;
  ASSERT_TRUE(AddExpectedRandomHits(stats, 9, 0.001, 0.003, 0.01));
  MultiplyProbabilityOfNoRandomHit(stats, 9, 3, 0.001);
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
  motifMappedMemoryCDT motifs{};
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

std::string Captured(void (*write)(std::FILE*)) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* out = open_memstream(&buffer, &size);
  write(out);
  std::fclose(out);
  std::string text(buffer, size);
  std::free(buffer);
  return text;
}

TEST(HitLine, HasTheSevenFields) {
  const std::string line = Captured([](std::FILE* out) {
    HitStatistics stats{0.007, std::pow(0.999, 7.0)};
    WriteHitLine(out, stats, 0.001, "R", "KLM", 2);
  });
  EXPECT_EQ(line, "7.00e-03|0.993|1.000e-03|R|KLM|3|5\n");
}

TEST(HitLine, TextsEndAtTheirFirstNulAndEndCountsTheWholeSegment) {
  const std::string line = Captured([](std::FILE* out) {
    WriteHitLine(out, HitStatistics{}, 0.5, std::string_view("re\0c", 4),
                 std::string_view("A\0C", 3), 9);
  });
  EXPECT_EQ(line, "0.00e+00|1.000|5.000e-01|re|A|10|12\n");
}

// Texts of every length around what the line buffer holds, after numbers
// short and long, come out whole and in order.
TEST(HitLine, TextsOfAnyLengthAreWrittenWhole) {
  for (double probability : {0.5, -1.0e300}) {
    for (std::size_t segmentLength : {0, 1, 700, 5000}) {
      const std::string segment(segmentLength, 'S');
      for (std::size_t recordLength = 0; recordLength <= 1100; ++recordLength) {
        const std::string record(recordLength, 'R');
        char* buffer = nullptr;
        std::size_t size = 0;
        std::FILE* out = open_memstream(&buffer, &size);
        WriteHitLine(out, HitStatistics{1.5e-7, probability}, 2.5e-3, record, segment, 41);
        std::fclose(out);
        const std::string line(buffer, size);
        std::free(buffer);
        char numbers[400];
        std::snprintf(numbers, sizeof numbers, "%.2e|%.3f|%.3e|", 1.5e-7, probability, 2.5e-3);
        const std::string expected =
            numbers + record + "|" + segment + "|42|" + std::to_string(41 + segmentLength) + "\n";
        ASSERT_EQ(line, expected) << "record of " << recordLength << " bytes, segment of "
                                  << segmentLength << ", P " << probability;
      }
    }
  }
}

TEST(ProgressLine, EndsInACarriageReturn) {
  EXPECT_EQ(Captured([](std::FILE* err) { WriteProgressLine(err, 12); }),
            "Processing Sequence 12\r");
}

}  // namespace
