// SPDX-License-Identifier: MIT
// End to end: --format tsv and gff3 carry the pipe format's hits row for row,
// on every thread count and for both searches; --no-header leaves out their
// first line; an unknown format searches nothing; and the GFF3 passes a real
// GFF3 reader (genometools' gff3validator, when it is installed) for the
// sample data and for names and records full of bytes that must be escaped.
// That each row holds the right bytes is the engine equivalence test's
// business (the engine against the reference's printf rows).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

std::size_t CountLines(const std::string& text, char skipping) {
  std::size_t lines = 0;
  bool lineStart = true;
  for (const char c : text) {
    if (lineStart && c != skipping) ++lines;
    lineStart = c == '\n';
  }
  return lines;
}

std::vector<std::string> With(std::vector<std::string> options,
                              const std::vector<std::string>& args) {
  options.insert(options.end(), args.begin(), args.end());
  return options;
}

class OutputFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string data = BRISEL_DATA_DIR;
    ASSERT_EQ(RunMakedb({"sequences", "-q", data + "/swissprot-100.fasta", dir_ / "sp"}).status, 0);
    ASSERT_EQ(RunMakedb({"motifs", "-q", data + "/prosite-excerpt.dat", dir_ / "prosite"}).status,
              0);
    const std::string fasta = SingleLineFasta(ReadFile(data + "/swissprot-100.fasta"));
    WriteFile(dir_ / "sp.fa", fasta);
    // OPSD_HUMAN has hits; its sequence alone is a raw sequence.
    const std::size_t text = fasta.find('\n', fasta.find(">OPSD_HUMAN")) + 1;
    WriteFile(dir_ / "raw.txt", fasta.substr(text, fasta.find('\n', text) + 1 - text));
  }

  // Runs gt gff3validator on `gff3`; skips the test when gt is not installed.
  void ExpectValidGff3(const std::string& gff3) {
    if (std::system("command -v gt > /dev/null 2>&1") != 0) {
      GTEST_SKIP() << "SKIPPED: no gt to validate GFF3 (apt-get install genometools)";
    }
    WriteFile(dir_ / "out.gff3", gff3);
    const ProcessResult r =
        RunProgram("/bin/sh", "sh", {"-c", "exec gt gff3validator \"$0\"", dir_ / "out.gff3"});
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 2000);
    EXPECT_NE(r.out.find("input is valid GFF3"), std::string::npos) << r.out;
  }

  TempDir dir_;
};

TEST_F(OutputFormats, EveryFormatCarriesThePipeHitsOnEveryThreadCount) {
  const std::vector<std::vector<std::string>> searches = {
      {"-l", "-e", "0", "-m", dir_ / "prosite", "-s", dir_ / "sp"},
      {"-l", "-b", "-f", "-e", "0", "-m", dir_ / "prosite", "-s", dir_ / "sp.fa"},
      {"-l", "-b", "-e", "0", "-m", dir_ / "prosite", "-s", dir_ / "raw.txt"}};
  for (const auto& search : searches) {
    const ProcessResult pipe = RunSearch(search);
    ASSERT_EQ(pipe.status, 0);
    const std::size_t hits = CountLines(pipe.out, '>');
    ASSERT_GT(hits, 0u);
    for (const std::string format : {"tsv", "gff3"}) {
      SCOPED_TRACE(format);
      const ProcessResult one = RunSearch(With({"-j", "1", "--format", format}, search));
      EXPECT_EQ(one.status, 0);
      EXPECT_EQ(one.err, pipe.err);
      EXPECT_EQ(CountLines(one.out, '#'), hits);
      EXPECT_EQ(one.out.substr(0, 1), "#");
      const ProcessResult two = RunSearch(With({"-j", "2", "--format=" + format}, search));
      EXPECT_TRUE(two.out == one.out && two.err == one.err && two.status == 0);
      const ProcessResult bare = RunSearch(With({"--no-header", "-F", format}, search));
      EXPECT_EQ(bare.out, one.out.substr(one.out.find('\n') + 1));
      if (std::string(format) == "gff3") ExpectValidGff3(one.out);
    }
  }
  // A raw sequence has no name: an empty first field, the seqid "sequence".
  const ProcessResult tsv = RunSearch(With({"-F", "tsv"}, searches[2]));
  EXPECT_EQ(tsv.out.substr(tsv.out.find('\n') + 1, 1), "\t");
  const ProcessResult gff3 = RunSearch(With({"-F", "gff3"}, searches[2]));
  EXPECT_EQ(gff3.out.substr(gff3.out.find('\n') + 1, 9), "sequence\t");
}

TEST_F(OutputFormats, AnUnknownFormatSearchesNothing) {
  const ProcessResult r = RunSearch({"-l", "-m", dir_ / "prosite", "-s", dir_ / "sp", "-F", "xml"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "brisel-search: unknown output format 'xml' (--format takes pipe, tsv, gff3 or bed)\n");
}

TEST_F(OutputFormats, EscapedNamesAndRecordsAreValidGff3) {
  WriteFile(dir_ / "odd.fa",
            ">\tleading tab\n"
            "AAKDELKDEL\n"
            ">a;b=c&d,e%f\\g|h\x01\x7f\xc3\xa9>i rest; of=the name\n"
            "KDELAAAAAA\n");
  WriteFile(dir_ / "odd.txt", "K-D-E-L\tPS00014 ER;x=1,&%\x02\xc3\xa9\n[KR]-D-E-L\t;=&\n");
  ASSERT_EQ(RunMakedb({"sequences", "-q", dir_ / "odd.fa", dir_ / "odd"}).status, 0);
  ASSERT_EQ(RunMakedb({"motifs", "-q", dir_ / "odd.txt", dir_ / "oddm"}).status, 0);
  const ProcessResult r =
      RunSearch({"-l", "-F", "gff3", "-e", "9", "-m", dir_ / "oddm", "-s", dir_ / "odd"});
  ASSERT_EQ(r.status, 0);
  EXPECT_EQ(CountLines(r.out, '#'), 6u);
  ExpectValidGff3(r.out);
}

}  // namespace
