// SPDX-License-Identifier: MIT
// End to end: --help, --version and getopt's own diagnostics.
#include <gtest/gtest.h>

#include <string>

#include "search_options.h"
#include "support/motif_db.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteMotifDatabase(root_, {MakeMotif({"K", "LI", "M"}, 0.001, 0.003, "R")});
    WriteFile(input_, "GAKLMAKIM\n");
  }
  std::vector<std::string> Scan() const { return {"-l", "-b", "-m", root_, "-s", input_}; }

  TempDir dir_;
  std::string root_ = dir_ / "motifs";
  std::string input_ = dir_ / "input.txt";
};

constexpr char kHits[] =
    "7.00e-03|0.993|1.000e-03|R|KLM|3|5\n"
    "7.00e-03|0.993|1.000e-03|R|KIM|7|9\n";

TEST_F(CommandLine, HelpPrintsTheUsageAndSearchesNothing) {
  for (const auto& args : {std::vector<std::string>{"--help"},
                           std::vector<std::string>{"-l", "-b", "-e", "-3", "x", "--help"}}) {
    const ProcessResult r = RunSearch(args);
    EXPECT_EQ(r.out, UsageText());
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 0);
  }
}

TEST_F(CommandLine, VersionPrintsTheVersion) {
  const ProcessResult r = RunSearch({"-b", "--version", "--help"});
  EXPECT_EQ(r.out, "brisel-search " BRISEL_VERSION "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
}

TEST_F(CommandLine, AfterDoubleHyphenHelpIsAnOrdinaryWord) {
  auto args = Scan();
  args.insert(args.end(), {"--", "--help"});
  const ProcessResult r = RunSearch(args);
  EXPECT_EQ(r.out, kHits);
  EXPECT_EQ(r.status, 0);
}

TEST_F(CommandLine, AnUnknownOptionIsReportedAndSkipped) {
  auto args = Scan();
  args.insert(args.begin(), "-x");
  const ProcessResult r = RunSearch(args);
  EXPECT_EQ(r.out, kHits);
  EXPECT_EQ(r.err, "brisel-search: invalid option -- 'x'\n\n\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(CommandLine, AMissingArgumentIsReportedAndSkipped) {
  auto args = Scan();
  args.push_back("-e");
  const ProcessResult r = RunSearch(args);
  EXPECT_EQ(r.out, kHits);
  EXPECT_EQ(r.err, "brisel-search: option requires an argument -- 'e'\n\n\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(CommandLine, TheLastValueOfARepeatedOptionHolds) {
  auto args = Scan();
  args.insert(args.begin(), {"-m", dir_ / "absent", "-e", "-400"});
  args.insert(args.end(), {"-e", "-2"});
  const ProcessResult r = RunSearch(args);
  EXPECT_EQ(r.out, kHits);
  EXPECT_EQ(r.status, 0);
}

TEST_F(CommandLine, ScanWithoutSequenceNameReadsSprotInTheWorkingDirectory) {
  WriteFile(dir_ / "sprot", "GAKLMAKIM\n");
  RunOptions options;
  options.workingDirectory = dir_.path().string();
  const ProcessResult r = RunSearch({"-l", "-b", "-m", root_}, options);
  EXPECT_EQ(r.out, kHits);
}

TEST_F(CommandLine, AnInvalidThreadCountEndsTheRunBeforeAnySearch) {
  for (const std::string value : {"0", "abc", "-1", "2x", "", "4097"}) {
    std::vector<std::string> args = Scan();
    args.insert(args.begin(), {"-j", value});
    const ProcessResult r = RunSearch(args);
    EXPECT_EQ(r.out, "") << value;
    EXPECT_EQ(r.err, "brisel-search: invalid thread count '" + value +
                         "' (-j takes a positive integer up to 4096)\n");
    EXPECT_EQ(r.status, 2) << value;
  }
}

TEST_F(CommandLine, ValidThreadCountsAreAccepted) {
  for (const std::string value : {"1", "3"}) {
    std::vector<std::string> args = Scan();
    args.insert(args.end(), {"-f", "-j" + value});
    WriteFile(input_, ">a\nGAKLMAKIM\n>b\nKIM\n");
    const ProcessResult r = RunSearch(args);
    EXPECT_EQ(r.out, std::string(">a\n") + kHits + ">b\n1.00e-03|0.999|1.000e-03|R|KIM|1|3\n");
    EXPECT_EQ(r.err, "\nProcessing Sequence 1\rProcessing Sequence 2\r\n");
    EXPECT_EQ(r.status, 0) << value;
  }
}

}  // namespace
