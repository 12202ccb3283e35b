// SPDX-License-Identifier: MIT
// Specificity, length correction, log specificity and homing position.
#include "patterns/motif_statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "support/motif_db.h"

using namespace brisel;

namespace {

class MotifStatisticsTest : public ::testing::Test {
 protected:
  MotifStatistics Of(const std::vector<std::uint32_t>& positions) {
    return ComputeMotifStatistics(positions, BackgroundLetterFrequencies());
  }
};

TEST_F(MotifStatisticsTest, RgdIsTheProductOfItsLetters) {
  const MotifStatistics s = Of({Letters("R"), Letters("G"), Letters("D")});
  EXPECT_EQ(s.specificity, 0.052 * 0.0686 * 0.0526);
  EXPECT_NEAR(s.specificity, 1.8763e-4, 1e-8);
  EXPECT_EQ(s.lengthCorrection, 3 * s.specificity);
  EXPECT_EQ(s.logSpecificity, std::log10(s.specificity));
  EXPECT_EQ(s.homingPosition, 0u) << "R (0.052) is rarer than D (0.0526) and G";
  EXPECT_EQ(s.homingMask, Letters("R"));
}

TEST_F(MotifStatisticsTest, SetsSumTheirLettersInAlphabeticalOrder) {
  const MotifStatistics s = Of({Letters("ST"), kAllLettersMask, Letters("RK")});
  double any = 0.0;
  for (double v : {0.0765, 0.0162, 0.0526, 0.0636, 0.0412, 0.0686, 0.0224, 0.0592, 0.0597, 0.0948,
                   0.0239, 0.044,  0.0485, 0.0389, 0.052,  0.0705, 0.0565, 0.0665, 0.0123, 0.032}) {
    any += v;
  }
  EXPECT_EQ(s.specificity, (0.0705 + 0.0565) * any * (0.0597 + 0.052));
  EXPECT_EQ(s.homingPosition, 2u) << "[KR] sums to 0.1117, [ST] to 0.127";
  EXPECT_EQ(s.homingMask, Letters("RK"));
}

TEST_F(MotifStatisticsTest, TiesGoToTheEarliestPosition) {
  const MotifStatistics s = Of({Letters("A"), Letters("W"), Letters("C"), Letters("W")});
  EXPECT_EQ(s.homingPosition, 1u);
  EXPECT_EQ(s.homingMask, Letters("W"));
  EXPECT_EQ(s.lengthCorrection, 4 * s.specificity);
}

TEST_F(MotifStatisticsTest, LettersWithoutAFrequencyMakeTheMotifImpossible) {
  const MotifStatistics s = Of({Letters("A"), Letters("X")});
  EXPECT_EQ(s.specificity, 0.0);
  EXPECT_EQ(s.homingPosition, 1u);
  EXPECT_EQ(s.homingMask, Letters("X"));
  EXPECT_TRUE(std::isinf(s.logSpecificity));
}

}  // namespace
