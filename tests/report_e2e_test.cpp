// SPDX-License-Identifier: MIT
// End to end: brisel-search --report. Beside every search (indexed, scan,
// direct), format and thread count, both streams and the exit status are
// byte for byte those of the same run without it, and the report is the same
// file for every format and thread count, naming what was searched. A report
// that cannot be written ends the run with one line and status 1; a run that
// fails, for any reason, leaves the report's path as it was and no temporary
// file. (What the page shows, against the search's TSV, is the browser
// tests' business: tests/report/.)
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

std::vector<std::string> With(std::vector<std::string> options,
                              const std::vector<std::string>& args) {
  options.insert(options.end(), args.begin(), args.end());
  return options;
}

class ReportSearch : public ::testing::Test {
 protected:
  // The files of the test's directory that end in ".tmp".
  std::vector<std::string> Temporaries() const {
    std::vector<std::string> found;
    for (const std::string& name : ListDirectory(dir_.path())) {
      if (name.ends_with(".tmp")) found.push_back(name);
    }
    return found;
  }

  void SetUp() override {
    ASSERT_EQ(RunMakedb({"sequences", "-q", fasta_, dir_ / "sp"}).status, 0);
    ASSERT_EQ(RunMakedb({"motifs", "-q", patterns_, dir_ / "sites"}).status, 0);
    WriteFile(dir_ / "sp.fa", SingleLineFasta(ReadFile(fasta_)));
    WriteFile(dir_ / "raw.txt",
              "MKTAYIAKQRQISFVKSHFSRQLEERLGLIEVQAPILSRVGDGTQDNLSGAEKAVQVKVKALPDA\n");
  }

  const std::string data_ = BRISEL_DATA_DIR;
  const std::string fasta_ = data_ + "/swissprot-100.fasta";
  const std::string patterns_ = data_ + "/site-patterns.txt";
  TempDir dir_;
};

TEST_F(ReportSearch, EverySearchFormatAndThreadCountKeepsItsStreamsAndGivesOneReport) {
  struct Search {
    std::vector<std::string> args;
    std::string named;  // what the page says was searched
  };
  const std::vector<Search> searches = {
      {{"-l", "-m", dir_ / "sites", "-s", dir_ / "sp"},
       R"x("inputs":["motifs: )x" + dir_ / "sites" + R"x( (motif database)","sequences: )x" +
           dir_ / "sp" + R"x( (sequence database)"],"options":["indexed search","-e 9"])x"},
      {{"-l", "-b", "-f", "-m", dir_ / "sites", "-s", dir_ / "sp.fa"},
       R"x((FASTA, a line per sequence)"],"options":["scan search (-b -f)","-e 9"])x"},
      {{"-l", "-b", "-m", dir_ / "sites", "-s", dir_ / "raw.txt"},
       R"x((one raw sequence)"],"options":["scan search (-b)","-e 9"])x"},
      {{"--patterns", patterns_, "--fasta", fasta_},
       R"x("inputs":["motifs: )x" + patterns_ + R"x( (PROSITE patterns)","sequences: )x" + fasta_ +
           R"x( (FASTA)"],"options":["direct search (--fasta)","-e 9"])x"}};
  const std::string report = dir_ / "report.html";
  for (const Search& search : searches) {
    SCOPED_TRACE(search.args[search.args.size() - 1]);
    std::string page;
    for (const std::string format : {"pipe", "tsv", "gff3"}) {
      const std::vector<std::string> args = With({"-e", "9", "-F", format}, search.args);
      const ProcessResult plain = RunSearch(With({"-j", "1"}, args));
      ASSERT_EQ(plain.status, 0);
      ASSERT_FALSE(plain.out.empty());
      for (const std::string threads : {"1", "2", "3"}) {
        SCOPED_TRACE(format + " -j " + threads);
        const ProcessResult reported = RunSearch(With({"--report", report, "-j", threads}, args));
        EXPECT_EQ(reported.status, 0);
        EXPECT_TRUE(reported.out == plain.out);
        EXPECT_EQ(reported.err, plain.err);
        if (page.empty()) page = ReadFile(report);
        EXPECT_TRUE(ReadFile(report) == page);
      }
    }
    EXPECT_NE(page.find(search.named), std::string::npos);
    EXPECT_EQ(Temporaries(), std::vector<std::string>{});
  }
}

TEST_F(ReportSearch, AReportThatCannotBeWrittenEndsTheRunAndAFailedRunLeavesNone) {
  // Hits of about 11 kB, a report of about 57 kB.
  const std::vector<std::string> search = {"-l", "-m", dir_ / "sites", "-s", dir_ / "sp",
                                           "-e", "0"};
  const std::string plainErr = RunSearch(search).err;

  // Nowhere to write it: nothing is searched.
  ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
  for (const auto& [path, cause] : {std::pair<std::string, std::string>{
                                        dir_ / "missing/report.html", "No such file or directory"},
                                    {dir_.path().string(), "not a regular file"},
                                    {dir_ / "fifo", "not a regular file"}}) {
    const ProcessResult r = RunSearch(With({"--report", path}, search));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "brisel-search: cannot write the report '" + path + "': " + cause + "\n");
  }

  // A write that fails once the search is done: the search's streams as they
  // are, then the fault; the old report stays, and no temporary file.
  const std::string report = dir_ / "report.html";
  WriteFile(report, "old report");
  RunOptions smallFiles;
  smallFiles.fileSizeLimit = 30000;
  const ProcessResult cut = RunSearch(With({"--report", report}, search), smallFiles);
  EXPECT_EQ(cut.status, 1);
  EXPECT_EQ(cut.err,
            plainErr + "brisel-search: cannot write the report '" + report + "': File too large\n");
  EXPECT_EQ(ReadFile(report), "old report");
  EXPECT_EQ(Temporaries(), std::vector<std::string>{});

  // A search that fails: its input cut short, or standard output closed.
  WriteFile(dir_ / "damaged.fa", ReadFile(fasta_).substr(0, 20000) + std::string(1, '\0'));
  const ProcessResult damaged = RunSearch(
      {"--patterns", patterns_, "--fasta", dir_ / "damaged.fa", "--report", report, "-j", "2"});
  EXPECT_EQ(damaged.status, 1);
  EXPECT_NE(damaged.err.find("NUL"), std::string::npos) << damaged.err;
  RunOptions full;
  full.stdoutPath = "/dev/full";
  const ProcessResult unwritten = RunSearch(With({"--report", report}, search), full);
  EXPECT_EQ(unwritten.status, 1);
  EXPECT_EQ(ReadFile(report), "old report");
  EXPECT_EQ(Temporaries(), std::vector<std::string>{});
}

}  // namespace
