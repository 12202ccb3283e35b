// SPDX-License-Identifier: MIT
// End to end: brisel-search -j N writes byte for byte what -j 1 writes, on both
// streams and for both searches, and a failed write of standard output ends
// the run promptly, with one line and status 1, whatever the thread count.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/motif_db.h"
#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

std::vector<std::string> WithThreads(const std::string& count, std::vector<std::string> args) {
  args.insert(args.begin(), {"-j", count});
  return args;
}

// Runs the search with -j 1, then with 2, 3 and 7 threads, and expects the
// same streams and status. Returns the -j 1 result.
ProcessResult ExpectSameForEveryThreadCount(const std::vector<std::string>& args) {
  const ProcessResult one = RunSearch(WithThreads("1", args));
  EXPECT_EQ(one.status, 0) << one.err.substr(0, 300);
  for (const std::string count : {"2", "3", "7"}) {
    const ProcessResult many = RunSearch(WithThreads(count, args));
    EXPECT_EQ(many.status, one.status) << "-j " << count;
    // Compared as booleans: a diff of megabytes helps nobody.
    EXPECT_TRUE(many.out == one.out) << "-j " << count << ": standard output differs";
    EXPECT_TRUE(many.err == one.err) << "-j " << count << ": standard error differs";
  }
  return one;
}

TEST(ParallelSearch, TheSampleDataGivesTheSameStreamsForEveryThreadCount) {
  const std::string data = BRISEL_DATA_DIR;
  TempDir dir;
  ASSERT_EQ(RunMakedb({"sequences", "-q", data + "/swissprot-100.fasta", dir / "sp"}).status, 0);
  ASSERT_EQ(RunMakedb({"motifs", "-q", data + "/prosite-excerpt.dat", dir / "prosite"}).status, 0);
  WriteFile(dir / "sp.fa", SingleLineFasta(ReadFile(data + "/swissprot-100.fasta")));
  for (const std::string exponent : {"-2", "9"}) {
    SCOPED_TRACE("-e " + exponent);
    const ProcessResult indexed = ExpectSameForEveryThreadCount(
        {"-l", "-e", exponent, "-m", dir / "prosite", "-s", dir / "sp"});
    EXPECT_NE(indexed.out, "");
    const ProcessResult scan = ExpectSameForEveryThreadCount(
        {"-l", "-b", "-f", "-e", exponent, "-m", dir / "prosite", "-s", dir / "sp.fa"});
    EXPECT_NE(scan.out, "");
  }
  // A raw sequence is one search, whatever -j says.
  ExpectSameForEveryThreadCount({"-l", "-b", "-m", dir / "prosite", "-s", dir / "sp.fa"});
}

// 12,000 random sequences (many chunks) and, among them, one sequence whose
// report of about 100,000 hit lines is larger than a chunk may hold unwritten.
class ParallelSearchLarge : public ::testing::Test {
 protected:
  static constexpr int kSequences = 12000;

  static void SetUpTestSuite() {
    dir_ = new TempDir;
    std::mt19937 random(7);
    const std::string letters = "ACDEGKLST";
    std::vector<TestSequence> sequences(kSequences);
    for (int i = 0; i < kSequences; ++i) {
      sequences[i].name = "s" + std::to_string(i);
      const int length = std::uniform_int_distribution<int>(100, 500)(random);
      for (int p = 0; p < length; ++p)
        sequences[i].text += letters[random() % letters.size()];
    }
    sequences[kSequences / 2].text = std::string(100000, 'A');
    WriteSequenceDatabase(*dir_ / "sequences", sequences);
    WriteFile(*dir_ / "sequences.fa", AsFasta(sequences));
    WriteMotifDatabase(
        *dir_ / "motifs",
        {MakeMotif({"A", "C"}, 0.01, 0.0, "AC"), MakeMotif({"K", "LI", "M"}, 0.001, 0.0, "KLM"),
         MakeMotif({"S", "T"}, 0.01, 0.0, "ST"), MakeMotif({"A", "A"}, 0.01, 0.0, "AA")});
  }
  static void TearDownTestSuite() { delete dir_; }

  static std::vector<std::string> Indexed() {
    return {"-l", "-e", "9", "-m", *dir_ / "motifs", "-s", *dir_ / "sequences"};
  }
  static std::vector<std::string> Scan() {
    return {"-l", "-b", "-f", "-e", "9", "-m", *dir_ / "motifs", "-s", *dir_ / "sequences.fa"};
  }

  // The run wrote the failure line and stopped long before the last sequence.
  static void ExpectStoppedEarly(const ProcessResult& r, const std::string& message) {
    EXPECT_EQ(r.status, 1);
    ASSERT_GE(r.err.size(), message.size());
    EXPECT_EQ(r.err.substr(r.err.size() - message.size()), message);
    EXPECT_EQ(r.err.find("Processing Sequence " + std::to_string(kSequences) + "\r"),
              std::string::npos);
  }

  static TempDir* dir_;
};

TempDir* ParallelSearchLarge::dir_ = nullptr;

TEST_F(ParallelSearchLarge, ManyChunksAndAHugeReportGiveTheSameStreams) {
  const ProcessResult indexed = ExpectSameForEveryThreadCount(Indexed());
  EXPECT_GT(indexed.out.size(), std::size_t{8} << 20);
  const ProcessResult scan = ExpectSameForEveryThreadCount(Scan());
  EXPECT_GT(scan.out.size(), std::size_t{8} << 20);
}

TEST_F(ParallelSearchLarge, AClosedPipeEndsTheRunPromptly) {
  for (const std::string count : {"1", "3"}) {
    for (const auto& args : {Indexed(), Scan()}) {
      SCOPED_TRACE("-j " + count + (args[1] == "-b" ? " scan" : " indexed"));
      BackgroundProgram search(BRISEL_SEARCH_PATH, "brisel-search", WithThreads(count, args));
      EXPECT_GE(search.ReadOutput(100000).size(), 100000u);
      search.CloseOutput();
      ExpectStoppedEarly(search.Finish(),
                         "\nbrisel-search: cannot write standard output: Broken pipe\n");
    }
  }
}

TEST_F(ParallelSearchLarge, AFullDiskEndsTheRunPromptly) {
  RunOptions options;
  options.stdoutPath = "/dev/full";
  for (const std::string count : {"1", "3"}) {
    for (const auto& args : {Indexed(), Scan()}) {
      SCOPED_TRACE("-j " + count + (args[1] == "-b" ? " scan" : " indexed"));
      ExpectStoppedEarly(
          RunSearch(WithThreads(count, args), options),
          "\nbrisel-search: cannot write standard output: No space left on device\n");
    }
  }
}

}  // namespace
