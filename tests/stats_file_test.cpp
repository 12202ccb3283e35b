// SPDX-License-Identifier: MIT
// The stats file reader: token rules, strtoul rules and 32-bit clamping.
#include "stats_file.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/temp_dir.h"

namespace {

StatsCounts CountsOf(std::string_view text) {
  TempDir dir;
  WriteFile(dir / "db-stats", text);
  StatsCounts counts{7, 7, 7};
  EXPECT_TRUE(ReadStatsFile((dir / "db-stats").c_str(), counts));
  return counts;
}

TEST(StatsNumber, FollowsStrtoulRules) {
  EXPECT_EQ(ParseStatsNumber("42"), 42u);
  EXPECT_EQ(ParseStatsNumber("  +42"), 42u);
  EXPECT_EQ(ParseStatsNumber("42 motifs"), 42u);
  EXPECT_EQ(ParseStatsNumber("42\r"), 42u);
  EXPECT_EQ(ParseStatsNumber("abc"), 0u);
  EXPECT_EQ(ParseStatsNumber(""), 0u);
  EXPECT_EQ(ParseStatsNumber("- 5"), 0u) << "digits must follow the sign";
  EXPECT_EQ(ParseStatsNumber("+-5"), 0u);
}

TEST(StatsNumber, ClampsAndWrapsLikeA32BitStrtoul) {
  EXPECT_EQ(ParseStatsNumber("4294967295"), 4294967295u);
  EXPECT_EQ(ParseStatsNumber("4294967296"), 4294967295u);
  EXPECT_EQ(ParseStatsNumber("99999999999999999999999"), 4294967295u);
  EXPECT_EQ(ParseStatsNumber("-1"), 4294967295u);
  EXPECT_EQ(ParseStatsNumber("-5"), 4294967291u);
  EXPECT_EQ(ParseStatsNumber("-4294967296"), 4294967295u);
}

TEST(StatsFile, ReadsThreeCounts) {
  EXPECT_EQ(CountsOf("3\n12\n40\n"), (StatsCounts{3, 12, 40}));
  EXPECT_EQ(CountsOf("\n\n3\n\n12\n\n\n40"), (StatsCounts{3, 12, 40})) << "blank lines";
  EXPECT_EQ(CountsOf("3\r\n12 bits\r\nforty\n"), (StatsCounts{3, 12, 0}));
  EXPECT_EQ(CountsOf("3\n12\n40\n99\n"), (StatsCounts{3, 12, 40})) << "the rest is unread";
}

TEST(StatsFile, MissingCountsReadAsZero) {
  EXPECT_EQ(CountsOf("3\n12\n"), (StatsCounts{3, 12, 0}));
  EXPECT_EQ(CountsOf(""), (StatsCounts{0, 0, 0}));
}

TEST(StatsFile, ANumberOfMoreThanTenCharactersIsSplit) {
  EXPECT_EQ(CountsOf("123456789012\n5\n"), (StatsCounts{1234567890, 12, 5}));
  EXPECT_EQ(CountsOf("00000000001\n2\n3\n"), (StatsCounts{0, 1, 2}));
}

TEST(StatsFile, AMissingFileIsReportedToTheCaller) {
  TempDir dir;
  StatsCounts counts{};
  errno = 0;
  EXPECT_FALSE(ReadStatsFile((dir / "none-stats").c_str(), counts));
  EXPECT_EQ(errno, ENOENT);
}

}  // namespace
