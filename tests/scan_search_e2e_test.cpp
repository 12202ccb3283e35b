// SPDX-License-Identifier: MIT
// End to end: brisel-search -b over text files against small motif databases.
// Standard output, standard error and the exit status are compared byte for
// byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "support/motif_db.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

class ScanSearch : public ::testing::Test {
 protected:
  // Writes the motif database and the input, then runs a scan search on them.
  ProcessResult Scan(const std::vector<TestMotif>& motifs, std::string_view input,
                     std::vector<std::string> extra = {}) {
    WriteMotifDatabase(root_, motifs);
    WriteFile(input_, input);
    std::vector<std::string> args = {"-l", "-b", "-m", root_, "-s", input_};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunSearch(args);
  }

  // The worked example: K, L or I, M with s = 0.001 and c = 0.003, then a motif
  // that the cut-off stops.
  static std::vector<TestMotif> WorkedExample() {
    return {MakeMotif({"K", "LI", "M"}, 0.001, 0.003, "R"), MakeMotif({"G"}, 0.001, 0.0, "G1")};
  }

  TempDir dir_;
  std::string root_ = dir_ / "motifs";
  std::string input_ = dir_ / "input.txt";
};

constexpr char kWorkedHits[] =
    "7.00e-03|0.993|1.000e-03|R|KLM|3|5\n"
    "7.00e-03|0.993|1.000e-03|R|KIM|7|9\n";

TEST_F(ScanSearch, WorkedExampleOnARawSequence) {
  const ProcessResult r = Scan(WorkedExample(), "GAKLMAKIM\n");
  EXPECT_EQ(r.out, kWorkedHits);
  EXPECT_EQ(r.err, "\n\n") << "raw input: two newlines and nothing else";
  EXPECT_EQ(r.status, 0);
}

TEST_F(ScanSearch, WorkedExampleAsFasta) {
  const ProcessResult r =
      Scan(WorkedExample(), ">first\nGAKLMAKIM\n>no hits\nAAA\n>second\nKIM\n", {"-f"});
  // KIM alone: E = ((3 x 0.001 - 0.003) + 0.001) = 0.001, P = 0.999; then the
  // second motif brings E to 0.002 + 0.001 = 0.004 and P to 0.999 x 0.999^3.
  EXPECT_EQ(r.out, std::string(">first\n") + kWorkedHits +
                       ">second\n"
                       "1.00e-03|0.999|1.000e-03|R|KIM|1|3\n");
  EXPECT_EQ(r.err, "\nProcessing Sequence 1\rProcessing Sequence 2\rProcessing Sequence 3\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(ScanSearch, CutoffRestartsForEverySequence) {
  const ProcessResult r = Scan(WorkedExample(), ">a\nGAKLMAKIM\n>b\nGAKLMAKIM\n", {"-f"});
  EXPECT_EQ(r.out, std::string(">a\n") + kWorkedHits + ">b\n" + kWorkedHits);
}

TEST_F(ScanSearch, AWiderCutoffTriesLaterMotifs) {
  const ProcessResult r = Scan(WorkedExample(), "GAKLMAKIM", {"-e", "-1"});
  // The second motif: E = 0.007 + (9 x 0.001 + 0.001) = 0.017, P = 0.999^7 x 0.999^9.
  EXPECT_EQ(r.out, std::string(kWorkedHits) + "1.70e-02|0.984|1.000e-03|G1|G|1|1\n");
}

TEST_F(ScanSearch, ExpectationEqualToTheCutoffGoesOn) {
  const ProcessResult r = Scan({MakeMotif({"A", "C", "D"}, 0.25, 0.0, "eq")}, "ACD", {"-e", "0"});
  EXPECT_EQ(r.out, "1.00e+00|0.750|2.500e-01|eq|ACD|1|3\n");
}

TEST_F(ScanSearch, ExpectationJustAboveTheCutoffStops) {
  // 0.75 + 2^-60 + 0.25 exceeds 1.0 only in extended precision.
  const ProcessResult r =
      Scan({MakeMotif({"A", "C", "D"}, 0.25, -std::ldexp(1.0, -60), "above")}, "ACD", {"-e0"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
}

TEST_F(ScanSearch, CutoffExtremes) {
  EXPECT_EQ(Scan(WorkedExample(), "GAKLMAKIM", {"-e", "-400"}).out, "") << "cut-off 0";
  EXPECT_EQ(Scan(WorkedExample(), "GAKLMAKIM", {"-e", "400"}).out,
            std::string(kWorkedHits) + "1.70e-02|0.984|1.000e-03|G1|G|1|1\n")
      << "cut-off infinity";
  EXPECT_EQ(Scan(WorkedExample(), "GAKLMAKIM", {"-e", "abc"}).out,
            std::string(kWorkedHits) + "1.70e-02|0.984|1.000e-03|G1|G|1|1\n")
      << "no digits: cut-off 1";
}

TEST_F(ScanSearch, BlankLinesAndCarriageReturns) {
  // The carriage returns count in L (10) and are never part of a hit; the name
  // line is written back with its carriage return.
  const ProcessResult r =
      Scan(WorkedExample(), "\n\n>cr\r\n\nGAKLMAKIM\r\n\n\n>none\r\nAA\r\n", {"-f"});
  EXPECT_EQ(r.out,
            ">cr\r\n"
            "8.00e-03|0.992|1.000e-03|R|KLM|3|5\n"
            "8.00e-03|0.992|1.000e-03|R|KIM|7|9\n");
  EXPECT_EQ(r.err, "\nProcessing Sequence 1\rProcessing Sequence 2\r\n");
}

TEST_F(ScanSearch, LowerCaseResiduesMatchAndAreShownAsWritten) {
  const ProcessResult r = Scan(WorkedExample(), "gaKlmakIm");
  EXPECT_EQ(r.out,
            "7.00e-03|0.993|1.000e-03|R|Klm|3|5\n"
            "7.00e-03|0.993|1.000e-03|R|kIm|7|9\n");
}

TEST_F(ScanSearch, NonLettersNeverMatch) {
  const ProcessResult r =
      Scan({MakeMotif({"K", "ACDEFGHIKLMNPQRSTVWXYZBJOU", "M"}, 0.001, 0.0, "x")}, "K1MK-MK*MKAM",
           {"-e", "-1"});
  EXPECT_EQ(r.out, "1.30e-02|0.990|1.000e-03|x|KAM|10|12\n");
}

TEST_F(ScanSearch, OverlappingHitsAreAllReported) {
  const ProcessResult r = Scan({MakeMotif({"A", "A"}, 0.5, 0.0, "AA")}, "AAAA", {"-e", "1"});
  EXPECT_EQ(r.out,
            "2.50e+00|0.125|5.000e-01|AA|AA|1|2\n"
            "2.50e+00|0.125|5.000e-01|AA|AA|2|3\n"
            "2.50e+00|0.125|5.000e-01|AA|AA|3|4\n");
}

TEST_F(ScanSearch, MotifsWiderThanTheSequenceCountNowhere) {
  const ProcessResult r = Scan({MakeMotif({"A", "A", "A", "A"}, 0.5, 0.0, "wide"),
                                MakeMotif({"A", "C", "D"}, 0.001, 0.0, "fits")},
                               "ACD");
  EXPECT_EQ(r.out, "4.00e-03|0.999|1.000e-03|fits|ACD|1|3\n");
}

TEST_F(ScanSearch, EmptyInputs) {
  EXPECT_EQ(Scan(WorkedExample(), "").out, "");
  const ProcessResult fasta = Scan(WorkedExample(), "\n\n", {"-f"});
  EXPECT_EQ(fasta.out, "");
  EXPECT_EQ(fasta.err, "\n\n");
  const ProcessResult nameOnly = Scan(WorkedExample(), ">last\n", {"-f"});
  EXPECT_EQ(nameOnly.out, "");
  EXPECT_EQ(nameOnly.err, "\nProcessing Sequence 1\r\n");
}

TEST_F(ScanSearch, RawInputSearchesOnlyTheFirstNonEmptyLine) {
  const ProcessResult r = Scan(WorkedExample(), "\n\nAAA\nGAKLMAKIM\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(ScanSearch, FlagsGroupAndRepeat) {
  WriteMotifDatabase(root_, WorkedExample());
  WriteFile(input_, ">s\nGAKLMAKIM\n");
  const ProcessResult r =
      RunSearch({"-lbf", "-mnothing", "-m", root_, "-s" + input_, "-b", "stray-word"});
  EXPECT_EQ(r.out, std::string(">s\n") + kWorkedHits);
  EXPECT_EQ(r.status, 0);
}

// ---- Databases without motifs, empty records, names of any length ------------

TEST_F(ScanSearch, ADatabaseWithoutMotifs) {
  const ProcessResult raw = Scan({}, "GAKLMAKIM");
  EXPECT_EQ(raw.out, "");
  EXPECT_EQ(raw.err, "\n\n");
  EXPECT_EQ(raw.status, 0);
  const ProcessResult fasta = Scan({}, ">a\nAAA\n>b\nCCC\n", {"-f"});
  EXPECT_EQ(fasta.out, "");
  EXPECT_EQ(fasta.err, "\nProcessing Sequence 1\rProcessing Sequence 2\r\n");
}

TEST_F(ScanSearch, RecordsThatAreAllEmpty) {
  const ProcessResult r = Scan({MakeMotif({"K", "LI", "M"}, 0.001, 0.003, "")}, "GAKLMAKIM");
  EXPECT_EQ(r.out,
            "7.00e-03|0.993|1.000e-03||KLM|3|5\n"
            "7.00e-03|0.993|1.000e-03||KIM|7|9\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(ScanSearch, LocalPathsRelativeToTheWorkingDirectory) {
  WriteMotifDatabase(dir_ / "sub/db", WorkedExample());
  WriteFile(dir_ / "seq", "GAKLMAKIM\n");
  RunOptions options;
  options.workingDirectory = dir_.path().string();
  const ProcessResult r = RunSearch({"-l", "-b", "-m", "sub/db", "-s", "seq"}, options);
  EXPECT_EQ(r.out, kWorkedHits);
  EXPECT_EQ(r.status, 0);
}

TEST_F(ScanSearch, DatabaseNamesOfAnyLength) {
  std::string deep = dir_.path().string();
  for (int i = 0; i < 6; ++i)
    deep += "/" + std::string(60, static_cast<char>('a' + i));
  const std::string root = deep + "/" + std::string(120, 'm');
  ASSERT_GT(root.size(), 400u);
  WriteMotifDatabase(root, WorkedExample());
  WriteFile(input_, "GAKLMAKIM\n");
  const ProcessResult r = RunSearch({"-l", "-b", "-m", root, "-s", input_});
  EXPECT_EQ(r.out, kWorkedHits);
  EXPECT_EQ(r.status, 0);
}

TEST_F(ScanSearch, WithoutLocalPathsTheDataDirectoryIsUsed) {
  WriteFile(input_, "GAKLMAKIM\n");
  const ProcessResult r = RunSearch({"-b", "-m", "brisel-test-absent", "-s", input_});
  EXPECT_EQ(r.err,
            "brisel-search: cannot open stats file "
            "'/usr/share/corvane/lumisca_brisel/brisels/brisel-test-absent-stats': "
            "No such file or directory\n");
  EXPECT_EQ(r.status, 1);
}

// ---- Lines, motifs and records beyond any fixed buffer ------------------------

TEST_F(ScanSearch, LongRecordsAndWideMotifs) {
  const std::string record(20000, 'r');
  TestMotif wide;
  wide.positions.assign(6000, Letters("AC"));
  wide.specificity = 1e-300;
  wide.homingMask = Letters("AC");
  wide.record = record;
  std::string sequence(6000, 'A');
  sequence[5999] = 'C';
  const ProcessResult r = Scan({wide}, sequence);
  // E = 6000e-300 + 1e-300, rounded; P = 1 - 1e-300 rounds to 1.
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.2e|1.000|1.000e-300|",
                static_cast<double>(6000.0L * static_cast<long double>(1e-300) +
                                    static_cast<long double>(1e-300)));
  EXPECT_EQ(r.out, std::string(expected) + record + "|" + sequence + "|1|6000\n");
}

TEST_F(ScanSearch, LongFastaLinesNeverShiftTheRecords) {
  const std::string name = ">" + std::string(20000, 'n');
  const std::string sequence = std::string(60000, 'G') + "KLM";
  const ProcessResult r =
      Scan(WorkedExample(), name + "\n" + sequence + "\n>short\nKIM\n", {"-f", "-e", "2"});
  EXPECT_EQ(r.err, "\nProcessing Sequence 1\rProcessing Sequence 2\r\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, name.size() + 1), name + "\n");
  EXPECT_NE(r.out.find("|R|KLM|60001|60003\n"), std::string::npos);
  EXPECT_NE(r.out.find(">short\n"), std::string::npos);
}

TEST_F(ScanSearch, ALongRawSequenceIsSearchedInFull) {
  const ProcessResult r = Scan(WorkedExample(), std::string(70000, 'G') + "KIM\n", {"-e", "2"});
  EXPECT_NE(r.out.find("|R|KIM|70001|70003\n"), std::string::npos) << r.out.substr(0, 200);
}

// ---- Failures: one line, status 1, nothing on standard output ------------------

TEST_F(ScanSearch, AMissingBlockFileIsFatal) {
  WriteMotifDatabase(root_, WorkedExample());
  std::filesystem::remove(root_ + "-specificities.bin");
  WriteFile(input_, "GAKLMAKIM\n");
  const ProcessResult r = RunSearch({"-l", "-b", "-m", root_, "-s", input_});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Fatal Error:  Memory mapping failed!\n ");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ScanSearch, AMissingStatsFile) {
  WriteFile(input_, "GAKLMAKIM\n");
  const ProcessResult r = RunSearch({"-l", "-b", "-m", root_, "-s", input_});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "brisel-search: cannot open stats file '" + root_ +
                       "-stats': No such file or directory\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ScanSearch, AMissingSequenceFile) {
  WriteMotifDatabase(root_, WorkedExample());
  const ProcessResult r = RunSearch({"-l", "-b", "-m", root_, "-s", dir_ / "absent.fa"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\nbrisel-search: cannot open sequence file '" + (dir_ / "absent.fa") +
                       "': No such file or directory\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ScanSearch, ADirectoryOrAFailedReadIsNotAnEmptyInput) {
  WriteMotifDatabase(root_, WorkedExample());
  const ProcessResult directory = RunSearch({"-l", "-b", "-m", root_, "-s", dir_.path()});
  EXPECT_EQ(directory.out, "");
  EXPECT_EQ(directory.err, "\nbrisel-search: cannot open sequence file '" + dir_.path().string() +
                               "': Is a directory\n");
  EXPECT_EQ(directory.status, 1);
  // Reading this process's memory from address 0 fails with EIO.
  const ProcessResult failed = RunSearch({"-l", "-bf", "-m", root_, "-s", "/proc/self/mem"});
  EXPECT_EQ(failed.err,
            "\n\nbrisel-search: cannot read sequence file '/proc/self/mem': Input/output error\n");
  EXPECT_EQ(failed.status, 1);
}

TEST_F(ScanSearch, APipeIsReadLikeAFile) {
  WriteMotifDatabase(root_, WorkedExample());
  const ProcessResult r = RunProgram("/bin/bash", "bash",
                                     {"-c", std::string(BRISEL_SEARCH_PATH) + " -l -bf -m " +
                                                root_ + " -s <(printf '>first\\nGAKLMAKIM\\n')"});
  EXPECT_EQ(r.out, std::string(">first\n") + kWorkedHits);
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST_F(ScanSearch, AStatsFileThatHoldsNoCountsOrIsNoFile) {
  WriteMotifDatabase(root_, WorkedExample());
  WriteFile(input_, "GAKLMAKIM\n");
  const std::string stats = root_ + "-stats";
  const auto search = [&] { return RunSearch({"-l", "-b", "-m", root_, "-s", input_}); };
  WriteFile(stats, "");
  ProcessResult r = search();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "brisel-search: " + stats + ": file is empty\n");
  EXPECT_EQ(r.status, 1);
  WriteFile(stats, "2\r\n-1\r\n5\r\n");
  r = search();
  EXPECT_EQ(r.err,
            "brisel-search: " + stats + ":2: count '-1' is out of range (0 to 4294967295)\n");
  EXPECT_EQ(r.status, 1);
  // A FIFO is refused at once: the search never waits for a writer.
  std::filesystem::remove(stats);
  ASSERT_EQ(::mkfifo(stats.c_str(), 0600), 0);
  r = search();
  EXPECT_EQ(r.err, "brisel-search: " + stats + ": not a regular file\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ScanSearch, ControlCharactersInAQuotedPathAreEscaped) {
  // A shard name read from a manifest with CRLF line ends.
  const ProcessResult r = RunSearch({"-l", "-b", "-m", root_ + "\r", "-s", input_});
  EXPECT_EQ(r.err, "brisel-search: cannot open stats file '" + root_ +
                       "\\r-stats': No such file or directory\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(ScanSearch, AFailedWriteOfTheHitsIsNotReportedAsSuccess) {
  WriteMotifDatabase(root_, WorkedExample());
  WriteFile(input_, "GAKLMAKIM\n");
  RunOptions options;
  options.stdoutPath = "/dev/full";
  const ProcessResult r = RunSearch({"-l", "-b", "-m", root_, "-s", input_}, options);
  EXPECT_EQ(r.err, "\n\nbrisel-search: cannot write standard output: No space left on device\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
