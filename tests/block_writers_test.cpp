// SPDX-License-Identifier: MIT
// The block writers: byte images of written blocks, round trips through the
// mapping, and failures reported to the caller.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "brisel.h"
#include "support/block_arrays.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

TEST(BlockWriters, UnsignedValuesAreWrittenLittleEndian) {
  TempDir dir;
  const ArrayPtr values = ArrayOf<std::uint32_t>({0, 1, 4294967295u});
  ASSERT_TRUE(WriteUnsignedLongsBlockToBinaryFile(values.get(), (dir / "u.bin").c_str()));
  EXPECT_EQ(ReadFile(dir / "u.bin"),
            std::string("\x00\x00\x00\x00\x01\x00\x00\x00\xFF\xFF\xFF\xFF", 12));
}

TEST(BlockWriters, DoublesRoundTripThroughTheMapping) {
  TempDir dir;
  const ArrayPtr values = ArrayOf<double>({0.5, 1.0, 2.0});
  ASSERT_TRUE(WriteDoublesBlockToBinaryFile(values.get(), (dir / "d.bin").c_str()));
  EXPECT_EQ(std::filesystem::file_size(dir / "d.bin"), 24u);
  std::uint64_t bytes = 0;
  const double* view = MapDoublesBlock((dir / "d.bin").c_str(), 3, &bytes);
  EXPECT_EQ(bytes, 24u);
  EXPECT_EQ(view[0], 0.5);
  EXPECT_EQ(view[1], 1.0);
  EXPECT_EQ(view[2], 2.0);
  UnmapBlock(view, 3, sizeof(double));
}

TEST(BlockWriters, RecordsAreWrittenBackToBackWithoutTerminators) {
  TempDir dir;
  const ArrayPtr chars = CharsOf("PS00017 ATP_GTP_APS00018 EF_HAND");
  ASSERT_TRUE(WriteCharsBlockToBinaryFile(chars.get(), (dir / "r.bin").c_str()));
  EXPECT_EQ(ReadFile(dir / "r.bin"), "PS00017 ATP_GTP_APS00018 EF_HAND");
}

TEST(BlockWriters, AnEmptyArrayReplacesAnEarlierFileWithAnEmptyOne) {
  TempDir dir;
  WriteFile(dir / "e.bin", "old contents");
  const ArrayPtr empty = ArrayOf<std::uint32_t>({});
  ASSERT_TRUE(WriteUnsignedLongsBlockToBinaryFile(empty.get(), (dir / "e.bin").c_str()));
  EXPECT_EQ(ReadFile(dir / "e.bin"), "");
}

TEST(BlockWriters, WritingTwiceLeavesOneCopy) {
  TempDir dir;
  const ArrayPtr values = ArrayOf<std::uint32_t>({7, 8});
  ASSERT_TRUE(WriteUnsignedLongsBlockToBinaryFile(values.get(), (dir / "t.bin").c_str()));
  ASSERT_TRUE(WriteUnsignedLongsBlockToBinaryFile(values.get(), (dir / "t.bin").c_str()));
  EXPECT_EQ(std::filesystem::file_size(dir / "t.bin"), 8u);
  EXPECT_EQ(ArrayLength(values.get()), 2u) << "the array is only read";
}

TEST(BlockWriters, WiderElementsContributeTheirFirstBytes) {
  TempDir dir;
  const ArrayPtr wide = ArrayOf<std::uint64_t>({0x1122334455667788ull, 0x99ull});
  ASSERT_TRUE(WriteUnsignedLongsBlockToBinaryFile(wide.get(), (dir / "w.bin").c_str()));
  EXPECT_EQ(ReadFile(dir / "w.bin"), std::string("\x88\x77\x66\x55\x99\x00\x00\x00", 8));
}

TEST(BlockWriters, AnUnwritablePathIsReported) {
  TempDir dir;
  const ArrayPtr values = ArrayOf<std::uint32_t>({1});
  errno = 0;
  EXPECT_FALSE(
      WriteUnsignedLongsBlockToBinaryFile(values.get(), (dir / "no/such/dir.bin").c_str()));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(BlockWriters, AFullDeviceIsReported) {
  const ArrayPtr chars = CharsOf(std::string(100000, 'x'));
  errno = 0;
  EXPECT_FALSE(WriteCharsBlockToBinaryFile(chars.get(), "/dev/full"));
  EXPECT_EQ(errno, ENOSPC);
}

TEST(BlockWritersDeathTest, NarrowerElementsThanTheBlockAreABrokenPrecondition) {
  TempDir dir;
  const ArrayPtr chars = CharsOf("ab");
  EXPECT_DEATH(WriteDoublesBlockToBinaryFile(chars.get(), (dir / "x.bin").c_str()),
               "WriteDoublesBlockToBinaryFile: Assertion `element size >= block width'");
}

}  // namespace
