// SPDX-License-Identifier: MIT
// End to end: "brisel-makedb split" writes the records of each shard as FASTA
// such that building every piece on its own gives, file for file and byte for
// byte, the shards of one sharded build, for inputs with every oddity the
// FASTA rules allow.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

// FASTA text drawn from `seed`: names with spaces, tabs, '>' and trailing
// carriage returns, empty names and records, sequence lines with spaces, tabs
// and CRs, lines whose residues start with '>', blank lines, CRLF line ends,
// lines longer than the reader's pieces, and sometimes no final newline.
std::string RandomFasta(unsigned seed, int records) {
  std::mt19937 random(seed);
  const auto chance = [&](int percent) {
    return std::uniform_int_distribution<int>(0, 99)(random) < percent;
  };
  const auto pick = [&](std::string_view from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  std::string text;
  if (chance(20)) text += "\n\n";
  for (int r = 0; r < records; ++r) {
    text += '>';
    const int nameLength = std::uniform_int_distribution<int>(0, 12)(random);
    for (int i = 0; i < nameLength; ++i)
      text += pick("ABCxyz09 _|\t>");
    if (chance(15)) text += chance(50) ? "\r" : "\r\r";
    text += chance(20) ? "\r\n" : "\n";
    const int lines = chance(10) ? 0 : std::uniform_int_distribution<int>(1, 4)(random);
    for (int l = 0; l < lines; ++l) {
      const bool huge = chance(2);
      const int length = huge ? 70000 + std::uniform_int_distribution<int>(0, 70000)(random)
                              : std::uniform_int_distribution<int>(0, 70)(random);
      if (chance(10)) text += " >";
      for (int i = 0; i < length; ++i)
        text += pick(huge ? "ACDEFGHIKLMNPQRSTVWY>" : "ACDEFGHIKLMNPQRSTVWYacxz*- \t\r>");
      if (chance(10)) text += '\n';  // a blank line
      text += chance(20) ? "\r\n" : "\n";
    }
  }
  if (!text.empty() && chance(30)) text.pop_back();
  return text;
}

void WriteGzip(const std::string& path, const std::string& text) {
  gzFile gz = gzopen(path.c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  ASSERT_EQ(gzwrite(gz, text.data(), static_cast<unsigned>(text.size())),
            static_cast<int>(text.size()));
  ASSERT_EQ(gzclose(gz), Z_OK);
}

class MakedbSplit : public ::testing::Test {
 protected:
  // Builds `input` with `options` both ways: one sharded build at "whole", and
  // a split into "piece" whose pieces are built one by one at "part.K". Checks
  // that the two give the same files, byte for byte, and returns the number
  // of shards.
  std::size_t BuildBothWays(const std::string& input, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"sequences", "-q"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {input, dir_ / "whole"});
    const ProcessResult whole = RunMakedb(args);
    EXPECT_EQ(whole.status, 0) << whole.err;

    args[0] = "split";
    args.back() = dir_ / "piece";
    const ProcessResult split = RunMakedb(args);
    EXPECT_EQ(split.status, 0) << split.err;
    EXPECT_EQ(split.out + split.err, "");

    std::size_t shards = 0;
    while (std::filesystem::exists(dir_ / ("piece." + std::to_string(shards + 1) + ".fasta"))) {
      ++shards;
      const std::string k = std::to_string(shards);
      const ProcessResult part =
          RunMakedb({"sequences", "-q", dir_ / ("piece." + k + ".fasta"), dir_ / ("part." + k)});
      EXPECT_EQ(part.status, 0) << part.err;
    }
    std::vector<std::string> wholeFiles, partFiles;
    for (const std::string& name : ListDirectory(dir_.path())) {
      if (name.starts_with("whole.") && !name.ends_with(".shards")) {
        wholeFiles.push_back(name.substr(6));
      } else if (name.starts_with("part.")) {
        partFiles.push_back(name.substr(5));
      }
    }
    EXPECT_EQ(partFiles, wholeFiles);
    EXPECT_EQ(wholeFiles.size(), shards * 8) << "8 files in each shard";
    for (const std::string& file : wholeFiles) {
      EXPECT_TRUE(ReadFile(dir_ / ("whole." + file)) == ReadFile(dir_ / ("part." + file)))
          << file << " differs";
    }
    return shards;
  }

  // Removes every database and piece, keeping the inputs.
  void Clear() {
    for (const std::string& name : ListDirectory(dir_.path())) {
      if (!name.starts_with("input")) std::filesystem::remove(dir_ / name);
    }
  }

  TempDir dir_;
};

TEST_F(MakedbSplit, EveryPieceBuildsItsShardByteForByte) {
  for (unsigned seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::string fasta = RandomFasta(seed, 5 + static_cast<int>(seed) * 7);
    WriteFile(dir_ / "input", fasta);
    WriteGzip(dir_ / "input.gz", fasta);
    const std::string shards = std::to_string(1 + seed % 5);
    EXPECT_EQ(BuildBothWays(dir_ / "input", {"--shards", shards}), 1 + seed % 5);
    Clear();
    EXPECT_EQ(BuildBothWays(dir_ / "input.gz", {"--shards=" + shards}), 1 + seed % 5);
    Clear();
    EXPECT_GE(BuildBothWays(dir_ / "input", {"--shard-size", "600K"}), 1u);
    Clear();
  }
}

TEST_F(MakedbSplit, RealProteins) {
  const std::string sample = BRISEL_DATA_DIR "/swissprot-100.fasta";
  EXPECT_EQ(BuildBothWays(sample, {"--shards", "7"}), 7u);
  Clear();
  EXPECT_EQ(BuildBothWays(sample, {"--shards", "100"}), 100u) << "one sequence each";
}

TEST_F(MakedbSplit, ThePiecesAsWritten) {
  WriteFile(dir_ / "input", ">a b\r\r\nAC D\r\n >EF\n\n>\n>>x\nG\n");
  const ProcessResult r = RunMakedb({"split", "--shards", "2", dir_ / "input", dir_ / "piece"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "3 sequences, 7 residues split into 2 FASTA files, " + dir_ / "piece" +
                       ".1.fasta to " + dir_ / "piece" + ".2.fasta\n");
  EXPECT_EQ(ReadFile(dir_ / "piece.1.fasta"), ">a b\r\r\nACD\n >EF\n");
  EXPECT_EQ(ReadFile(dir_ / "piece.2.fasta"), ">\n>>x\nG\n");

  const ProcessResult one = RunMakedb({"split", "--shards", "1", dir_ / "input", dir_ / "one"});
  EXPECT_EQ(one.err,
            "3 sequences, 7 residues split into 1 FASTA file, " + dir_ / "one" + ".1.fasta\n");
}

TEST_F(MakedbSplit, FaultsWriteNothing) {
  WriteFile(dir_ / "input", ">a\nAC\n>b\nD\n");
  const std::vector<std::string> before = ListDirectory(dir_.path());
  const std::string input = dir_ / "input";
  const std::string prefix = dir_ / "piece";
  const struct {
    std::vector<std::string> args;
    std::string stdinPath;
    std::string err;
  } cases[] = {
      {{input, prefix},
       {},
       "split needs --shards N or --shard-size SIZE (see brisel-makedb --help)"},
      {{"--shards", "3", input, prefix},
       {},
       input + ": --shards 3 asks for more shards than its 2 sequences"},
      {{"--shards", "2", "-", prefix},
       input,
       "standard input: --shards and --shard-size need an input file that can be read twice, "
       "not a pipe"},
      {{"--shards", "2", input}, {}, "split takes INPUT and PREFIX (see brisel-makedb --help)"},
      {{"--shards", "2", input, ""}, {}, "the PREFIX path is empty"},
      {{"--keep-order", "--shards", "2", input, prefix},
       {},
       "unknown option '--keep-order' (see brisel-makedb --help)"},
      {{"--shards", "2", dir_ / "missing", prefix},
       {},
       dir_ / "missing" + ": cannot open: No such file or directory"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"split"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    RunOptions options;
    options.stdinPath = c.stdinPath;
    const ProcessResult r = RunMakedb(args, options);
    EXPECT_EQ(r.err, "brisel-makedb: " + c.err + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ListDirectory(dir_.path()), before) << c.err;
  }
}

}  // namespace
