// SPDX-License-Identifier: MIT
// The stats file reader: the counts of valid files, and a one-line fault for
// every file that does not hold three counts; the digest line after them, and
// the digests and manifests of shard sets.
#include "database/stats_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "database/shard_manifest.h"

#include "support/temp_dir.h"

using namespace brisel;

namespace {

class StatsFile : public ::testing::Test {
 protected:
  StatsCounts CountsOf(std::string_view text) {
    WriteFile(path_, text);
    StatsCounts counts{7, 7, 7};
    const auto fault = ReadStatsFile(path_.c_str(), counts);
    EXPECT_FALSE(fault) << *fault;
    return counts;
  }
  std::string FaultOf(std::string_view text) {
    WriteFile(path_, text);
    return FaultAt(path_);
  }
  static std::string FaultAt(const std::string& path) {
    StatsCounts counts{};
    const auto fault = ReadStatsFile(path.c_str(), counts);
    EXPECT_TRUE(fault) << path << " read as " << counts[0] << ", " << counts[1] << ", "
                       << counts[2];
    return fault.value_or("");
  }

  TempDir dir_;
  std::string path_ = dir_ / "db-stats";
};

TEST_F(StatsFile, ReadsThreeCounts) {
  EXPECT_EQ(CountsOf("3\n12\n40\n"), (StatsCounts{3, 12, 40}));
  EXPECT_EQ(CountsOf("\n\n3\n\n12\n\n\n40"), (StatsCounts{3, 12, 40})) << "blank lines";
  EXPECT_EQ(CountsOf("3\r\n12 bits\r\n  +40\tresidues\n"), (StatsCounts{3, 12, 40}));
  EXPECT_EQ(CountsOf("3\r\n\r\n12\r\n \t\r\n40\r\n"), (StatsCounts{3, 12, 40}))
      << "a line of white space is blank";
  EXPECT_EQ(CountsOf("3\n12\n40\n99\nanything\n"), (StatsCounts{3, 12, 40}))
      << "the rest is unread";
  EXPECT_EQ(CountsOf("0\n0\n0\n"), (StatsCounts{0, 0, 0})) << "an empty database";
}

TEST_F(StatsFile, ACountMayHaveAnyNumberOfDigits) {
  EXPECT_EQ(CountsOf("4294967295\r\n4294967295 ok\n00000000000000000000042\n"),
            (StatsCounts{4294967295u, 4294967295u, 42}));
  EXPECT_EQ(CountsOf("-0\n+0\n1" + std::string(100000, ' ') + "x\n"), (StatsCounts{0, 0, 1}));
}

TEST_F(StatsFile, ACountOutOfRangeIsQuotedAsWritten) {
  EXPECT_EQ(FaultOf("3\n-1\n4\n"), path_ + ":2: count '-1' is out of range (0 to 4294967295)");
  EXPECT_EQ(FaultOf("\n\n4294967296\n1\n1\n"),
            path_ + ":3: count '4294967296' is out of range (0 to 4294967295)");
  EXPECT_EQ(FaultOf("1\n2\n" + std::string(40, '9') + "\n"),
            path_ + ":3: count '999999999999999999999999...' is out of range (0 to 4294967295)");
}

TEST_F(StatsFile, LinesThatHoldNoCount) {
  EXPECT_EQ(FaultOf("3\nabc\n4\n"), path_ + ":2: 'abc' is not a count");
  EXPECT_EQ(FaultOf("3\n - 5\n4\n"), path_ + ":2: ' - 5' is not a count");
  EXPECT_EQ(FaultOf(std::string("3\n\0 1\r\n4\n", 10)), path_ + ":2: '\\x00 1\\r' is not a count")
      << "one line, not cut at the NUL";
}

TEST_F(StatsFile, EmptyAndShortFiles) {
  EXPECT_EQ(FaultOf(""), path_ + ": file is empty");
  EXPECT_EQ(FaultOf("\n\r\n"), path_ + ": file ends after 0 of its 3 counts");
  EXPECT_EQ(FaultOf("3\n12\n"), path_ + ": file ends after 2 of its 3 counts");
}

TEST_F(StatsFile, OnlyARegularFileIsRead) {
  EXPECT_EQ(FaultAt(dir_.path().string()), dir_.path().string() + ": is a directory");
  // A FIFO without a writer: opened without waiting and refused at once.
  const std::string fifo = dir_ / "fifo-stats";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(FaultAt(fifo), fifo + ": not a regular file");
  EXPECT_EQ(FaultAt("/dev/null"), "/dev/null: not a regular file");
  EXPECT_EQ(FaultAt(dir_ / "none-stats"),
            "cannot open stats file '" + (dir_ / "none-stats") + "': No such file or directory");
}

}  // namespace

// The digest line: the fourth non-blank line, read by ReadStatsDigest only.
TEST_F(StatsFile, TheDigestLineIsPassedOverByTheCounts) {
  const std::string digest = "digest 0123456789abcdef\n";
  EXPECT_EQ(CountsOf("3\n7\n9\n" + digest), (StatsCounts{3, 7, 9}));
  EXPECT_EQ(ReadStatsDigest(path_), 0x0123456789abcdefu);
  WriteFile(path_, "\n3\r\n\n7\n9\n\n  digest 0123456789ABCDEF \r\n");
  EXPECT_EQ(ReadStatsDigest(path_), 0x0123456789abcdefu) << "blank lines, CRLF, upper case";
  for (const char* text :
       {"3\n7\n9\n", "3\n7\n9\ndigest 0123\n", "3\n7\n9\ndigest 0123456789abcdef",
        "3\n7\ndigest 0123456789abcdef\n", "3\n7\n9\nfoo 0123456789abcdef\n"}) {
    WriteFile(path_, text);
    EXPECT_FALSE(ReadStatsDigest(path_)) << text;
  }
  EXPECT_FALSE(ReadStatsDigest(dir_ / "missing-stats"));
}

// A digest depends on the bytes in order, not on the pieces they come in; a
// manifest's lines, comments and build line.
TEST(ShardManifest, DigestsAndManifests) {
  std::string bytes;
  for (int i = 0; i < 300; ++i)
    bytes += static_cast<char>(i * 37 % 251);
  ContentDigest whole;
  whole.Add(bytes);
  for (std::size_t step : {1u, 3u, 7u, 8u, 13u, 64u}) {
    ContentDigest pieces;
    for (std::size_t at = 0; at < bytes.size(); at += step)
      pieces.Add(std::string_view(bytes).substr(at, step));
    EXPECT_EQ(pieces.value(), whole.value()) << "pieces of " << step;
  }
  ContentDigest longer = whole, changed;
  longer.Add(std::string(1, '\0'));
  bytes[150] ^= 1;
  changed.Add(bytes);
  EXPECT_NE(longer.value(), whole.value());
  EXPECT_NE(changed.value(), whole.value());
  const std::uint64_t a = whole.value(), b = changed.value();
  EXPECT_NE(BuildIdentity(std::vector<std::uint64_t>{a, b}),
            BuildIdentity(std::vector<std::uint64_t>{b, a}));
  EXPECT_EQ(HexDigits(0x00ab), "00000000000000ab");

  ShardManifest manifest;
  EXPECT_FALSE(
      ParseShardManifest("#build 00000000000000AB\r\n\r\ndb.1\r\n# a note\ndb.2", manifest));
  EXPECT_EQ(manifest.shards, (std::vector<std::string>{"db.1", "db.2"}));
  EXPECT_EQ(manifest.build, 0xabu);
  EXPECT_EQ(ShardManifestText(manifest), "#build 00000000000000ab\ndb.1\ndb.2\n");
  EXPECT_FALSE(ParseShardManifest("db.1\n", manifest));
  EXPECT_FALSE(manifest.build) << "an older manifest names no build";
  EXPECT_EQ(ParseShardManifest("#build 12\ndb.1\n", manifest),
            ":1: the build identity is not 16 hex digits");
  EXPECT_EQ(ParseShardManifest("#build 00000000000000ab\n\n", manifest), ": lists no shard");
}
