// SPDX-License-Identifier: MIT
// End to end: brisel-makedb reads compressed input from files and pipes into
// the databases of the plain input, and refuses damaged input and input that
// is not FASTA with the line where reading stopped.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compressed_text.h"
#include "database/database_paths.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

constexpr Compression kFormats[] = {Compression::kGzip, Compression::kBzip2, Compression::kXz,
                                    Compression::kZstd};

// Every file of a database: its stats file and the blocks of its table.
template <typename Blocks>
std::vector<std::string> FilesOf(const Blocks& blocks) {
  std::vector<std::string> files = {std::string(kStatsSuffix)};
  for (const auto& block : blocks)
    files.emplace_back(block.suffix);
  return files;
}

const std::vector<std::string> kSequenceFiles = FilesOf(kSequenceBlocks);
const std::vector<std::string> kMotifFiles = FilesOf(kMotifBlocks);

class MakedbInputs : public ::testing::Test {
 protected:
  // brisel-makedb reading `path` through a pipe, as `cat path | brisel-makedb`.
  ProcessResult FromPipe(const std::string& command, const std::string& path,
                         const std::string& root) {
    return RunProgram(
        "/bin/bash", "bash",
        {"-c", "cat \"$1\" | \"$0\" " + command + " - \"$2\"", BRISEL_MAKEDB_PATH, path, root});
  }

  // Whether every file of the database at `root` is byte for byte the one of
  // the database at `expected`.
  static void ExpectSameDatabase(const std::string& root, const std::string& expected,
                                 const std::vector<std::string>& files) {
    for (const std::string& file : files) {
      EXPECT_TRUE(ReadFile(root + file) == ReadFile(expected + file)) << root << file;
    }
  }

  std::string Name(Compression format) const { return std::string(CompressionName(format)); }

  TempDir dir_;
  std::string root_ = dir_ / "db";
};

TEST_F(MakedbInputs, EveryFormatFromAFileOrAPipeBuildsThePlainDatabase) {
  const std::string sample = BRISEL_DATA_DIR "/swissprot-100.fasta";
  ASSERT_EQ(RunMakedb({"sequences", "-q", sample, dir_ / "plain"}).status, 0);
  const std::string fasta = ReadFile(sample);
  for (const Compression format : kFormats) {
    // One stream, and three joined as `cat a b c` joins them.
    const std::string one = dir_ / "one." + Name(format);
    const std::string three = dir_ / "three." + Name(format);
    WriteFile(one, CompressedText(fasta, format));
    WriteFile(three, CompressedText(fasta.substr(0, 5000), format) +
                         CompressedText(fasta.substr(5000, 20000), format) +
                         CompressedText(fasta.substr(25000), format));
    for (const std::string& input : {one, three}) {
      const ProcessResult r = RunMakedb({"sequences", input, root_});
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(r.err, "100 sequences, 37225 residues written to " + root_ + "\n");
      ExpectSameDatabase(root_, dir_ / "plain", kSequenceFiles);
      const ProcessResult piped = FromPipe("sequences", input, root_);
      EXPECT_EQ(piped.status, 0) << piped.err;
      ExpectSameDatabase(root_, dir_ / "plain", kSequenceFiles);
    }
  }
}

TEST_F(MakedbInputs, MotifsFromCompressedInput) {
  const std::string prosite = BRISEL_DATA_DIR "/prosite-excerpt.dat";
  ASSERT_EQ(RunMakedb({"motifs", "-q", prosite, dir_ / "plain"}).status, 0);
  WriteFile(dir_ / "in.xz", CompressedText(ReadFile(prosite), Compression::kXz));
  WriteFile(dir_ / "in.bz2", CompressedText(ReadFile(prosite), Compression::kBzip2));
  const ProcessResult r = RunMakedb({"motifs", dir_ / "in.xz", root_});
  EXPECT_EQ(r.err, "12 motifs from 7 patterns written to " + root_ + "\n");
  ExpectSameDatabase(root_, dir_ / "plain", kMotifFiles);
  EXPECT_EQ(FromPipe("motifs -q", dir_ / "in.bz2", root_).status, 0);
  ExpectSameDatabase(root_, dir_ / "plain", kMotifFiles);
}

// ---- Bad input -----------------------------------------------------------------------

// Runs a build of `content` and checks that it fails with `message` after
// "brisel-makedb: " and writes nothing.
void ExpectRefused(const TempDir& dir, const std::string& content, const std::string& message,
                   const std::string& command = "sequences") {
  WriteFile(dir / "input", content);
  const ProcessResult r = RunMakedb({command, dir / "input", dir / "db"});
  EXPECT_EQ(r.err, "brisel-makedb: " + dir / "input" + message + "\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(ListDirectory(dir.path()), std::vector<std::string>{"input"});
}

TEST_F(MakedbInputs, DamagedStreamsSayWhereReadingStopped) {
  const std::string fasta = ">a\nMKV\n>b\nWW\n";
  for (const Compression format : kFormats) {
    const std::string whole = CompressedText(fasta, format);
    // Cut short by a byte: every line is read, the stream's end is missing.
    ExpectRefused(dir_, whole.substr(0, whole.size() - 1),
                  ":5: the " + Name(format) + " data is cut short; reading stopped in this line");
  }
  TempDir other;
  const std::string zstd = CompressedText(fasta, Compression::kZstd);
  WriteFile(other / "in.zst", zstd.substr(0, zstd.size() - 1));
  const ProcessResult piped = FromPipe("sequences", other / "in.zst", other / "db");
  EXPECT_EQ(piped.err,
            "brisel-makedb: standard input:5: the zstd data is cut short; reading stopped in this "
            "line\n");
  EXPECT_EQ(piped.status, 1);

  std::string gzip = CompressedText(fasta, Compression::kGzip);
  gzip[gzip.size() - 8] ^= 1;  // the CRC of the text
  ExpectRefused(dir_, gzip,
                ":5: corrupt gzip data (incorrect data check); reading stopped in this line");
  std::string xz = CompressedText(fasta, Compression::kXz);
  xz[xz.size() - 30] ^= 1;
  ExpectRefused(dir_, xz,
                ":5: corrupt xz data (compressed data is corrupt); reading stopped in this line");
  ExpectRefused(dir_, CompressedText(fasta, Compression::kBzip2) + "not bzip2",
                ":5: corrupt bzip2 data (bytes after the end of the last stream); reading "
                "stopped in this line");
  ExpectRefused(dir_, CompressedText("R-G-D\trgd\nN-{P}-[ST]\n", Compression::kZstd) + "x",
                ":3: corrupt zstd data (bytes after the end of the last frame); reading stopped in "
                "this line",
                "motifs");
}

TEST_F(MakedbInputs, InputThatIsNotFastaText) {
  const std::string binary =
      "\x7f"
      "ELF\x02\x01\x01" +
      std::string(9, '\0') + "\x03\x00>\x00\n";
  ExpectRefused(dir_, binary,
                ":1: binary data, not FASTA text (plain, or compressed with gzip, bzip2, xz or "
                "zstd)");
  ExpectRefused(dir_,
                CompressedText(CompressedText(">a\nMKV\n", Compression::kGzip), Compression::kGzip),
                ":1: binary data, not FASTA text (plain, or compressed with gzip, bzip2, xz or "
                "zstd)");
  ExpectRefused(dir_, ">a\nMKV\n>b\nMK" + std::string(1, '\0') + "V\n",
                ":4: a NUL byte in the sequence of record 'b' (a damaged file, or not FASTA text)");
  ExpectRefused(dir_, ">a\nMKV\n>b c" + std::string(4, '\0') + "\nW\n",
                ":3: a NUL byte in a name line (a damaged file, or not FASTA text)");
  // Zeroed blocks, as a crash can leave in a file that was being written.
  ExpectRefused(dir_, ">a\nMKV\n" + std::string(4096, '\0') + "\n>b\nW\n",
                ":3: a NUL byte in the sequence of record 'a' (a damaged file, or not FASTA text)");
}

TEST_F(MakedbInputs, ANameLineOfMoreThan64MiBIsRefused) {
  ExpectRefused(dir_, ">" + std::string((std::size_t{64} << 20) + 1, 'n') + "\nMKV\n",
                ":1: a name line longer than 67108864 bytes (lost line ends, or not FASTA text?)");
}

}  // namespace
