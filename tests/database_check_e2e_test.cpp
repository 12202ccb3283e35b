// SPDX-License-Identifier: MIT
// End to end: a motif database that is inconsistent is refused after mapping,
// before anything is searched, with one line naming the file and the fault.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/motif_db.h"
#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

class MotifDatabaseCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    // Widths 3 and 1: bitIndices 0 3 4, records "R" and "G1", recordIndices 0 1 3.
    WriteMotifDatabase(root_, {MakeMotif({"K", "LI", "M"}, 0.001, 0.003, "R"),
                               MakeMotif({"G"}, 0.001, 0.0, "G1")});
    WriteFile(input_, "GAKLMAKIM\n");
  }

  ProcessResult Run() { return RunSearch({"-l", "-b", "-m", root_, "-s", input_}); }

  void Patch(const std::string& suffix, std::size_t index, std::uint32_t value) {
    PatchUnsigned(root_ + suffix, index, value);
  }

  void ExpectRefused(const std::string& suffix, const std::string& what) {
    const ProcessResult r = Run();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "brisel-search: " + root_ + suffix + ": " + what + "\n");
    EXPECT_EQ(r.status, 1);
  }

  TempDir dir_;
  std::string root_ = dir_ / "motifs";
  std::string input_ = dir_ / "input.txt";
};

TEST_F(MotifDatabaseCheck, ASoundDatabasePasses) {
  EXPECT_EQ(Run().status, 0);
}

TEST_F(MotifDatabaseCheck, ABlockFileShorterThanItsCount) {
  std::filesystem::resize_file(root_ + "-bitMotifs.bin", 12);
  ExpectRefused("-bitMotifs.bin", "file is 12 bytes long, but 4 entries need 16");
}

TEST_F(MotifDatabaseCheck, ABlockFileLongerThanItsCountIsAccepted) {
  std::ofstream(root_ + "-bitMotifs.bin", std::ios::app) << "trailing bytes";
  EXPECT_EQ(Run().status, 0);
}

TEST_F(MotifDatabaseCheck, CountsThatCannotWrap) {
  // numMotifs + 1 is 2^32: in 32 bits it would wrap to 0 and pass.
  WriteStatsFile(root_, "4294967295\n4\n3\n");
  ExpectRefused("-logSpecificities.bin",
                "file is 16 bytes long, but 4294967295 entries need 34359738360");
}

TEST_F(MotifDatabaseCheck, AnIndexBlockMustStartAtZero) {
  Patch("-bitIndices.bin", 0, 1);
  ExpectRefused("-bitIndices.bin", "first entry is 1, not 0");
}

TEST_F(MotifDatabaseCheck, AnIndexBlockMustNeverDecrease) {
  Patch("-recordIndices.bin", 1, 5);
  ExpectRefused("-recordIndices.bin", "entry 2 (3) is below entry 1 (5)");
}

TEST_F(MotifDatabaseCheck, AnIndexBlockMustEndAtItsCount) {
  WriteStatsFile(root_, "2\n3\n3\n");
  ExpectRefused("-bitIndices.bin", "last entry is 4, but numMotifBits is 3");
  WriteStatsFile(root_, "2\n4\n1\n");
  ExpectRefused("-recordIndices.bin", "last entry is 3, but numMotifChars is 1");
}

TEST_F(MotifDatabaseCheck, EveryMotifHasAPosition) {
  Patch("-bitIndices.bin", 1, 0);
  ExpectRefused("-bitIndices.bin", "motif 0 has width 0");
}

TEST_F(MotifDatabaseCheck, TheHomingPositionLiesInsideTheMotif) {
  Patch("-offsets.bin", 0, 3);
  ExpectRefused("-offsets.bin", "homing position 3 of motif 0 is not below its width 3");
  Patch("-offsets.bin", 0, 2);
  Patch("-offsets.bin", 1, 4294967295u);
  ExpectRefused("-offsets.bin", "homing position 4294967295 of motif 1 is not below its width 1");
}

TEST_F(MotifDatabaseCheck, TheAnchorsBlockHoldsOneAnchorPerMotif) {
  WriteFile(root_ + "-anchors.bin", std::string("\0\3", 2));
  EXPECT_EQ(Run().status, 0);
  WriteFile(root_ + "-anchors.bin", std::string("\0\3\0", 3));
  ExpectRefused("-anchors.bin", "file is 3 bytes long, but numMotifs is 2");
  WriteFile(root_ + "-anchors.bin", std::string("\1", 1));
  ExpectRefused("-anchors.bin", "file is 1 bytes long, but numMotifs is 2");
  WriteFile(root_ + "-anchors.bin", std::string("\2\4", 2));
  ExpectRefused("-anchors.bin", "anchor 4 of motif 1 is not 0, 1, 2 or 3");
  std::filesystem::remove(root_ + "-anchors.bin");
  std::filesystem::create_directory(root_ + "-anchors.bin");
  const ProcessResult r = Run();
  EXPECT_EQ(r.err, "Fatal Error:  Memory mapping failed!\n ") << "present but not a file";
  EXPECT_EQ(r.status, 1);
}

TEST_F(MotifDatabaseCheck, ABlockThatIsNotARegularFileCannotBeMapped) {
  std::filesystem::remove(root_ + "-records.bin");
  std::filesystem::create_directory(root_ + "-records.bin");
  const ProcessResult r = Run();
  EXPECT_EQ(r.err, "Fatal Error:  Memory mapping failed!\n ");
  EXPECT_EQ(r.status, 1);
}

TEST_F(MotifDatabaseCheck, EmptyBlocksNeedOnlyExist) {
  WriteMotifDatabase(root_, {});
  EXPECT_EQ(ReadFile(root_ + "-records.bin"), "");
  EXPECT_EQ(Run().status, 0);
  std::filesystem::remove(root_ + "-records.bin");
  const ProcessResult r = Run();
  EXPECT_EQ(r.err, "Fatal Error:  Memory mapping failed!\n ");
  EXPECT_EQ(r.status, 1);
}

// ---- Sequence databases ---------------------------------------------------------

class SequenceDatabaseCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteMotifDatabase(motifRoot_, {MakeMotif({"K"}, 0.001, 0.0, "K")});
    // Names "ab" and "c"; texts "AK*" and "KK": numSequenceBits 5, but only
    // four residues are letters, so offsets holds four entries.
    WriteSequenceDatabase(root_, {{"ab", "AK*"}, {"c", "KK"}});
  }

  void ExpectRefused(const std::string& file, const std::string& what) {
    const ProcessResult r = RunSearch({"-l", "-m", motifRoot_, "-s", root_});
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "\nbrisel-search: " + file + ": " + what + "\n");
    EXPECT_EQ(r.status, 1);
  }

  TempDir dir_;
  std::string motifRoot_ = dir_ / "motifs";
  std::string root_ = dir_ / "sequences";
};

TEST_F(SequenceDatabaseCheck, ASoundDatabasePasses) {
  const ProcessResult r = RunSearch({"-l", "-m", motifRoot_, "-s", root_});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 4), ">ab\n");
}

TEST_F(SequenceDatabaseCheck, TooManySequencesForTheLetterIndex) {
  WriteStatsFile(root_, "165191050\n3\n5\n");
  ExpectRefused(root_ + "-stats", "numSequences is 165191050, above the limit of 165191049");
}

TEST_F(SequenceDatabaseCheck, ABlockFileShorterThanItsCount) {
  std::filesystem::resize_file(root_ + "-offsetIndices.bin", 4 * 52);
  ExpectRefused(root_ + "-offsetIndices.bin", "file is 208 bytes long, but 53 entries need 212");
  WriteStatsFile(root_, "2\n3\n6\n");
  ExpectRefused(root_ + "-textSequences.bin", "file is 5 bytes long, but 6 entries need 6");
}

TEST_F(SequenceDatabaseCheck, IndexBlocksStartAtZeroRiseAndEndAtTheirCounts) {
  PatchUnsigned(root_ + "-nameIndices.bin", 1, 4);
  ExpectRefused(root_ + "-nameIndices.bin", "entry 2 (3) is below entry 1 (4)");
  PatchUnsigned(root_ + "-nameIndices.bin", 1, 2);
  PatchUnsigned(root_ + "-sequenceIndices.bin", 2, 4);
  ExpectRefused(root_ + "-sequenceIndices.bin", "last entry is 4, but numSequenceBits is 5");
  PatchUnsigned(root_ + "-sequenceIndices.bin", 2, 5);
  PatchUnsigned(root_ + "-offsetIndices.bin", 0, 1);
  ExpectRefused(root_ + "-offsetIndices.bin", "first entry is 1, not 0");
}

TEST_F(SequenceDatabaseCheck, TheLetterIndexEndsAtMostAtNumSequenceBits) {
  PatchUnsigned(root_ + "-offsetIndices.bin", 52, 6);
  ExpectRefused(root_ + "-offsetIndices.bin", "last entry is 6, above numSequenceBits 5");
}

TEST_F(SequenceDatabaseCheck, OffsetsMustHoldEveryEntryOfTheLetterIndex) {
  std::filesystem::resize_file(root_ + "-offsets.bin", 12);
  ExpectRefused(root_ + "-offsets.bin", "file is 12 bytes long, but 4 entries need 16");
}

}  // namespace
