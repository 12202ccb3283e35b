// End to end: a motif database that is inconsistent is refused after mapping,
// before anything is searched, with one line naming the file and the fault.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/motif_db.h"
#include "support/process.h"
#include "support/temp_dir.h"

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

  // Overwrites entry `index` of a 32-bit block.
  void Patch(const std::string& suffix, std::size_t index, std::uint32_t value) {
    std::string bytes = ReadFile(root_ + suffix);
    std::memcpy(bytes.data() + index * 4, &value, 4);
    WriteFile(root_ + suffix, bytes);
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

}  // namespace
