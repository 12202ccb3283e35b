// SPDX-License-Identifier: MIT
// Round trip: databases built by brisel-makedb from a FASTA file and pattern
// files, searched in the indexed mode, give the same hit lines (up to order
// within a motif) as the scan search over the same records written as
// single-line FASTA.
#include <gtest/gtest.h>

#include <string>

#include "support/hit_reports.h"
#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

class RoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunMakedb({"sequences", "-q", kData + "/swissprot-100.fasta", dir_ / "sp"}).status,
              0);
    WriteFile(dir_ / "sp.fa", SingleLineFasta(ReadFile(kData + "/swissprot-100.fasta")));
  }

  // Builds the motif database and compares both searches at cut-off 10^exponent.
  std::size_t Compare(const std::string& patterns, const std::string& exponent) {
    const ProcessResult built = RunMakedb({"motifs", "-q", kData + "/" + patterns, dir_ / "m"});
    EXPECT_EQ(built.status, 0) << built.err;
    const ProcessResult indexed =
        RunSearch({"-l", "-e", exponent, "-m", dir_ / "m", "-s", dir_ / "sp"});
    const ProcessResult scan =
        RunSearch({"-l", "-b", "-f", "-e", exponent, "-m", dir_ / "m", "-s", dir_ / "sp.fa"});
    EXPECT_EQ(indexed.status, 0);
    EXPECT_EQ(scan.status, 0);
    EXPECT_EQ(indexed.err, scan.err);
    return ExpectSameHitsUpToOrderWithinAMotif(indexed.out, scan.out);
  }

  const std::string kData = BRISEL_DATA_DIR;
  TempDir dir_;
};

TEST_F(RoundTrip, SitePatternsAtSeveralCutoffs) {
  EXPECT_EQ(Compare("site-patterns.txt", "-2"), 0u) << "short sites pass 0.01 at once";
  EXPECT_GT(Compare("site-patterns.txt", "0"), 50u);
  EXPECT_EQ(Compare("site-patterns.txt", "9"), 100u) << "every motif tried on every sequence";
}

TEST_F(RoundTrip, PrositeEntries) {
  EXPECT_GT(Compare("prosite-excerpt.dat", "-2"), 5u);
  EXPECT_GT(Compare("prosite-excerpt.dat", "9"), 5u);
}

}  // namespace
