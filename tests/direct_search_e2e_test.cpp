// SPDX-License-Identifier: MIT
// End to end: the direct search (--fasta, --patterns) against the route it
// replaces, brisel-makedb and the search of the databases it builds. On FASTA
// files of every layout, in every compressed format, every output format and
// thread count, both streams and the exit status must be the same bytes. On
// damaged input the run ends with status 1 and one line that says where
// reading stopped, and the hits of the records before it stay written: those
// of the database of those records.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "compressed_text.h"
#include "support/process.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

// Short patterns that random sequences hit often: ranges, exclusions,
// homing sets of several letters, anchors at either end.
constexpr char kPatterns[] =
    "N-{P}-[ST]-{P}\tPS00001 ASN_GLYCOSYLATION\n"
    "[ST]-x-[RK]\tPS00005 PKC_PHOSPHO_SITE\n"
    "C-x(2,4)-C\tPX00001 CYS_PAIR\n"
    "[KR]-[DE]-x(0,2)-[LIVM]\tPX00002 CHARGED_HYDROPHOBIC\n"
    "<M-x-[KR]\tPX00003 N_TERMINAL\n"
    "[DE]-x-[KR]>\tPX00004 C_TERMINAL\n"
    "[AG]-x(4)-G-K-[ST]\tPS00017 ATP_GTP_A\n"
    "W-x(0,9)-W\tPX00005 TWO_W\n";

constexpr Compression kFormats[] = {Compression::kNone, Compression::kGzip, Compression::kBzip2,
                                    Compression::kXz, Compression::kZstd};

std::size_t Pick(std::mt19937& random, std::size_t n) {
  return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
}

// A record's name: the usual, none at all, tabs, backslashes and UTF-8.
std::string RandomName(std::mt19937& random, int record) {
  const std::string id = "sp|P" + std::to_string(10000 + record) + "|R" + std::to_string(record);
  switch (Pick(random, 6)) {
    case 0:
      return "";
    case 1:
      return id + "\tdescribed\twith tabs";
    case 2:
      return id + " caf\xc3\xa9 \\ back";
    default:
      return id + " Protein " + std::to_string(Pick(random, 1000)) + " OS=Homo sapiens";
  }
}

// Residues of the 20 amino acids, now and then a rare letter, lower case, a
// stop or gap, or a digit.
std::string RandomResidues(std::mt19937& random, std::size_t length) {
  constexpr std::string_view kCommon = "ACDEFGHIKLMNPQRSTVWY";
  constexpr std::string_view kRare = "XBZUOacdkst*-7";
  std::string residues;
  for (std::size_t i = 0; i < length; ++i) {
    residues += Pick(random, 30) == 0 ? kRare[Pick(random, kRare.size())]
                                      : kCommon[Pick(random, kCommon.size())];
  }
  return residues;
}

// FASTA as it comes: lines wrapped at 60 or 80 or one, or not at all; CRLF
// line ends; spaces and tabs inside sequence lines; blank lines; records with
// an empty sequence; a long sequence line; no newline at the end.
std::string RandomFasta(unsigned seed, int records) {
  std::mt19937 random(seed);
  const bool crlf = Pick(random, 3) == 0;
  const std::string end = crlf ? "\r\n" : "\n";
  std::string text = Pick(random, 4) == 0 ? end : "";
  for (int r = 0; r < records; ++r) {
    text += ">" + RandomName(random, r) + end;
    const std::size_t length = Pick(random, 6) == 0    ? 0
                               : Pick(random, 20) == 0 ? 20000 + Pick(random, 20000)
                                                       : Pick(random, 600);
    const std::string residues = RandomResidues(random, length);
    const std::size_t widths[] = {60, 80, 1, residues.size() + 1};
    const std::size_t width = widths[Pick(random, 4)];
    for (std::size_t at = 0; at < residues.size(); at += width) {
      std::string line = residues.substr(at, width);
      if (Pick(random, 10) == 0)
        line.insert(Pick(random, line.size() + 1), Pick(random, 2) ? " " : "\t");
      text += line + end;
      if (Pick(random, 25) == 0) text += end;
    }
  }
  if (!text.empty() && Pick(random, 4) == 0) text.resize(text.size() - end.size());
  return text;
}

std::string FormatName(int f) {
  static const char* const kNames[] = {"pipe", "tsv", "gff3"};
  return kNames[f % 3];
}

class DirectSearch : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(patterns_, kPatterns);
    ASSERT_EQ(RunMakedb({"motifs", "-q", patterns_, motifs_}).status, 0);
  }

  // brisel-makedb sequences on `fasta`, then the indexed search of the
  // database with `options`.
  ProcessResult ThroughDatabase(const std::string& fasta, const std::vector<std::string>& options) {
    const ProcessResult built = RunMakedb({"sequences", "-q", fasta, database_});
    EXPECT_EQ(built.status, 0) << built.err;
    std::vector<std::string> args = {"-l", "-m", motifs_, "-s", database_};
    args.insert(args.end(), options.begin(), options.end());
    return RunSearch(args);
  }

  // The direct search of `fasta` with the motifs of the pattern file.
  ProcessResult Direct(const std::string& fasta, const std::vector<std::string>& options) {
    std::vector<std::string> args = {"--patterns", patterns_, "--fasta", fasta};
    args.insert(args.end(), options.begin(), options.end());
    return RunSearch(args);
  }

  static void ExpectSameRun(const ProcessResult& direct, const ProcessResult& expected) {
    EXPECT_TRUE(direct.out == expected.out) << "standard output differs";
    EXPECT_EQ(direct.err.size(), expected.err.size());
    EXPECT_TRUE(direct.err == expected.err) << direct.err.substr(0, 300);
    EXPECT_EQ(direct.status, expected.status);
  }

  TempDir dir_;
  std::string patterns_ = dir_ / "patterns.txt";
  std::string motifs_ = dir_ / "motifs";
  std::string database_ = dir_ / "sequences";
};

TEST_F(DirectSearch, EveryLayoutFormatAndThreadCountGivesTheDatabaseSearch) {
  std::vector<std::string> texts = {"", "\n\r\n\n"};
  for (unsigned seed = 1; seed <= 4; ++seed)
    texts.push_back(RandomFasta(seed, 40 + static_cast<int>(seed) * 15));
  int run = 0;
  for (std::size_t t = 0; t < texts.size(); ++t) {
    const std::string plain = dir_ / "in.fa";
    WriteFile(plain, texts[t]);
    for (const Compression format : kFormats) {
      const std::string file = dir_ / "in." + std::string(CompressionName(format));
      WriteFile(file, CompressedText(texts[t], format));
      for (const std::string threads : {"1", "3"}) {
        ++run;
        const std::vector<std::string> options = {
            "-j", threads, "-F", FormatName(run), "-e", run % 2 == 0 ? "9" : "-2"};
        SCOPED_TRACE("text " + std::to_string(t) + ", " + file + ", -j " + threads);
        ExpectSameRun(Direct(file, options), ThroughDatabase(plain, options));
      }
    }
  }
  // Several streams joined, as parallel compressors write them.
  const std::string joined = dir_ / "joined.zst";
  WriteFile(joined, CompressedText(texts[2].substr(0, 5000), Compression::kZstd) +
                        CompressedText(texts[2].substr(5000), Compression::kZstd));
  WriteFile(dir_ / "in.fa", texts[2]);
  ExpectSameRun(Direct(joined, {"-e", "9"}), ThroughDatabase(dir_ / "in.fa", {"-e", "9"}));
}

TEST_F(DirectSearch, StandardInputFromAFileOrAPipe) {
  const std::string text = RandomFasta(7, 50);
  WriteFile(dir_ / "in.fa", text);
  WriteFile(dir_ / "in.gz", CompressedText(text, Compression::kGzip));
  const ProcessResult expected = ThroughDatabase(dir_ / "in.fa", {"-e", "9", "-j", "2"});
  RunOptions fromFile;
  fromFile.stdinPath = dir_ / "in.gz";
  ExpectSameRun(
      RunSearch({"--patterns", patterns_, "--fasta", "-", "-e", "9", "-j", "2"}, fromFile),
      expected);
  ExpectSameRun(RunProgram("/bin/bash", "bash",
                           {"-c", "cat \"$1\" | \"$0\" --pa \"$2\" --fa - -e 9 -j 2",
                            BRISEL_SEARCH_PATH, dir_ / "in.gz", patterns_}),
                expected);
}

TEST_F(DirectSearch, PatternsCombineWithEverySequenceSource) {
  const std::string text = RandomFasta(8, 30);
  WriteFile(dir_ / "in.fa", text);
  ASSERT_EQ(RunMakedb({"sequences", "-q", dir_ / "in.fa", database_}).status, 0);
  const auto both = [&](std::vector<std::string> sequences) {
    std::vector<std::string> withDatabase = {"-l", "-m", motifs_, "-e", "9"};
    std::vector<std::string> withPatterns = {"--patterns", patterns_, "-e", "9"};
    withDatabase.insert(withDatabase.end(), sequences.begin(), sequences.end());
    withPatterns.insert(withPatterns.end(), sequences.begin(), sequences.end());
    ExpectSameRun(RunSearch(withPatterns), RunSearch(withDatabase));
  };
  both({"-l", "-s", database_});
  both({"-j", "2", "-b", "-f", "-s", dir_ / "in.fa"});
  both({"--fasta", dir_ / "in.fa", "-j", "2"});
}

TEST_F(DirectSearch, PatternWarningsComeFirstAndNameTheProgram) {
  // 2^10 distinct motifs: more than the 1,000 that pass without a word.
  WriteFile(patterns_, std::string(kPatterns) +
                           "A-x(1,2)-C-x(1,2)-D-x(1,2)-E-x(1,2)-F-x(1,2)-G-x(1,2)-H-x(1,2)-I-"
                           "x(1,2)-K-x(1,2)-L-x(1,2)-M\tPX00009 MANY\n");
  const ProcessResult built = RunMakedb({"motifs", patterns_, motifs_});
  const std::string warning =
      patterns_ + ":9: warning: pattern 'PX00009 MANY' expands into 1024 motifs\n";
  ASSERT_EQ(built.err.substr(0, built.err.find('\n') + 1), "brisel-makedb: " + warning);
  WriteFile(dir_ / "in.fa", RandomFasta(9, 20));
  const ProcessResult expected = ThroughDatabase(dir_ / "in.fa", {});
  const ProcessResult direct = Direct(dir_ / "in.fa", {});
  EXPECT_TRUE(direct.out == expected.out);
  EXPECT_EQ(direct.err, "brisel-search: " + warning + expected.err);
  EXPECT_EQ(direct.status, 0);
}

// ---- Bad input -----------------------------------------------------------------------

class DamagedInput : public DirectSearch {
 protected:
  // The direct search of `content` must end with status 1, after the hits and
  // progress lines of the database of the first `searched` records of
  // `fasta`, with the line "brisel-search: <file><message>; <how far>".
  void ExpectStopped(const std::string& content, const std::string& fasta, int searched,
                     const std::string& message) {
    const std::string input = dir_ / "input";
    WriteFile(input, content);
    WriteFile(dir_ / "before.fa", RecordsBefore(fasta, searched));
    const ProcessResult expected = ThroughDatabase(dir_ / "before.fa", {"-e", "9"});
    const std::string howFar =
        searched == 0 ? "; no record was searched"
                      : "; hits up to record " + std::to_string(searched) + " were written";
    for (const std::string threads : {"1", "2"}) {
      SCOPED_TRACE("-j " + threads);
      const ProcessResult r = Direct(input, {"-e", "9", "-j", threads});
      EXPECT_TRUE(r.out == expected.out);
      EXPECT_EQ(r.err, expected.err + "brisel-search: " + input + message + howFar + "\n");
      EXPECT_EQ(r.status, 1);
    }
  }

  // The text of the first `count` records of `fasta`.
  static std::string RecordsBefore(const std::string& fasta, int count) {
    int records = 0;
    for (std::size_t at = 0; at < fasta.size(); ++at) {
      if (fasta[at] == '>' && (at == 0 || fasta[at - 1] == '\n') && records++ == count) {
        return fasta.substr(0, at);
      }
    }
    return fasta;
  }
};

TEST_F(DamagedInput, ANulByteOrTextThatIsNotFasta) {
  const std::string fasta = RandomFasta(11, 12);
  const std::string head = RecordsBefore(fasta, 5);
  const int headLines = static_cast<int>(std::count(head.begin(), head.end(), '\n'));
  const std::string line = ":" + std::to_string(headLines + 2);
  // In record 6's sequence: records 1 to 5 are searched.
  ExpectStopped(head + ">six\nMKV" + std::string(1, '\0') + "W\n>seven\nW\n", fasta, 5,
                line +
                    ": a NUL byte in the sequence of record 'six' (a damaged file, or not "
                    "FASTA text)");
  // In record 6's name line: record 5 ended before it and is searched.
  ExpectStopped(head + ">si" + std::string(1, '\0') + "x\nMKV\n", fasta, 5,
                ":" + std::to_string(headLines + 1) +
                    ": a NUL byte in a name line (a damaged file, or not FASTA text)");
  ExpectStopped(std::string("\x7f") + "ELF\x02\x01\x01" + std::string(9, '\0') + "\n" + fasta,
                fasta, 0,
                ":1: binary data, not FASTA text (plain, or compressed with gzip, bzip2, xz or "
                "zstd)");
  ExpectStopped("MKVLAAGG\n" + fasta, fasta, 0, ":1: sequence text before the first '>' line");
}

TEST_F(DamagedInput, TheScanSearchRefusesANulByteAsTheDirectSearchDoes) {
  // Records of one line each, as -b -f reads them; record 3 holds a NUL.
  const std::string before = ">one\nMKVNGTAW\n\n>two x\nCCNKSSDEGRGDK\n";
  const std::string bad = ">three\nMK" + std::string(1, '\0') + "NKSS\n>four\nNKSS\n";
  WriteFile(dir_ / "before.fa", before);
  WriteFile(dir_ / "input", before + bad);
  const std::string stop = "brisel-search: " + dir_ / "input" +
                           ":7: a NUL byte in the sequence of record 'three' (a damaged file, or "
                           "not FASTA text); hits up to record 2 were written\n";
  for (const std::string format : {"pipe", "tsv"}) {
    const std::vector<std::string> options = {"-e", "9", "-F", format, "-j", "2"};
    const ProcessResult direct = Direct(dir_ / "input", options);
    ASSERT_TRUE(direct.err.ends_with(stop)) << direct.err;
    std::vector<std::string> scan = {"--patterns", patterns_, "-b", "-f"};
    scan.insert(scan.end(), options.begin(), options.end());
    scan.push_back("-s");
    scan.push_back(dir_ / "before.fa");
    const ProcessResult expected = RunSearch(scan);
    scan.back() = dir_ / "input";
    const ProcessResult r = RunSearch(scan);
    EXPECT_TRUE(r.out == expected.out);
    EXPECT_EQ(r.err, expected.err + stop);
    EXPECT_EQ(r.status, 1);
  }
  // A raw sequence (-b alone), and a name line: nothing is searched.
  WriteFile(dir_ / "input", "\nMKV" + std::string(1, '\0') + "W\n");
  const ProcessResult raw =
      RunSearch({"--patterns", patterns_, "-b", "-s", dir_ / "input", "-F", "tsv"});
  EXPECT_EQ(raw.out,
            "#name\tstart\tend\trecord\tsegment\tspecificity\texpectation\tp_no_random_hit\n");
  EXPECT_EQ(raw.err, "\n\nbrisel-search: " + dir_ / "input" +
                         ":2: a NUL byte in the sequence (a damaged file, or not FASTA text); no "
                         "record was searched\n");
  EXPECT_EQ(raw.status, 1);
  WriteFile(dir_ / "input", ">o" + std::string(1, '\0') + "ne\nMKV\n");
  const ProcessResult name = RunSearch({"--patterns", patterns_, "-b", "-f", "-s", dir_ / "input"});
  EXPECT_TRUE(
      name.err.ends_with(":1: a NUL byte in a name line (a damaged file, or not FASTA text); "
                         "no record was searched\n"))
      << name.err;
  EXPECT_EQ(name.status, 1);
}

TEST_F(DamagedInput, ACompressedStreamCutShortSaysWhereReadingStopped) {
  const std::string fasta = RandomFasta(12, 80);
  // The name line of each record, counted from 1.
  std::vector<int> nameLines;
  int lineNumber = 1;
  for (std::size_t at = 0; at < fasta.size(); ++at) {
    if (fasta[at] == '>' && (at == 0 || fasta[at - 1] == '\n')) nameLines.push_back(lineNumber);
    if (fasta[at] == '\n') ++lineNumber;
  }
  const std::regex stop(
      ": the gzip data is cut short; reading stopped in this line; (?:hits up "
      "to record ([0-9]+) were written|no record was searched)\n$");
  const std::string gzip = CompressedText(fasta, Compression::kGzip);
  for (const std::size_t cut : {gzip.size() / 5, gzip.size() / 2, gzip.size() - 9}) {
    SCOPED_TRACE(cut);
    WriteFile(dir_ / "input", gzip.substr(0, cut));
    const ProcessResult r = Direct(dir_ / "input", {"-e", "9", "-j", "2"});
    EXPECT_EQ(r.status, 1);
    const std::string lastLine = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
    const std::string prefix = "brisel-search: " + dir_ / "input" + ":";
    ASSERT_TRUE(lastLine.starts_with(prefix)) << lastLine;
    const int stoppedIn = std::stoi(lastLine.substr(prefix.size()));
    std::smatch match;
    ASSERT_TRUE(std::regex_search(lastLine, match, stop)) << lastLine;
    const int searched = match[1].matched ? std::stoi(match[1]) : 0;
    // Only the record in which reading stopped is left out: it begins at or
    // before that line, and the one after it, if any, at or after it.
    ASSERT_LT(searched, static_cast<int>(nameLines.size()));
    EXPECT_LE(nameLines[searched], stoppedIn);
    if (searched + 1 < static_cast<int>(nameLines.size())) {
      EXPECT_GE(nameLines[searched + 1], stoppedIn);
    }
    WriteFile(dir_ / "before.fa", RecordsBefore(fasta, searched));
    const ProcessResult expected = ThroughDatabase(dir_ / "before.fa", {"-e", "9"});
    EXPECT_TRUE(r.out == expected.out);
    EXPECT_EQ(r.err, expected.err + lastLine);
  }
}

TEST_F(DamagedInput, AnInputThatCannotBeOpenedIsNotSearched) {
  const ProcessResult r = Direct(dir_ / "missing.fa", {"-F", "tsv"});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\nbrisel-search: " + dir_ / "missing.fa" +
                       ": cannot open: No such file or directory\n");
  EXPECT_EQ(r.status, 1);
  const ProcessResult directory = Direct(dir_.path().string(), {});
  EXPECT_EQ(directory.err, "\n\nbrisel-search: " + dir_.path().string() +
                               ": read error: Is a directory; no record was searched\n");
  EXPECT_EQ(directory.status, 1);
}

TEST_F(DamagedInput, APatternFileThatCannotBeBuiltStopsBeforeAnything) {
  WriteFile(patterns_, "R-G-D\tPS00016 RGD\nN-{P-[ST]\tBROKEN\n");
  WriteFile(dir_ / "in.fa", ">a\nRGD\n");
  const ProcessResult built = RunMakedb({"motifs", patterns_, motifs_});
  ASSERT_EQ(built.status, 1);
  const ProcessResult r = Direct(dir_ / "in.fa", {});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "brisel-search: " + built.err.substr(std::string("brisel-makedb: ").size()));
  EXPECT_EQ(r.status, 1);
}

// ---- Options that contradict each other ------------------------------------------------

TEST_F(DirectSearch, ContradictoryOptionsEndTheRunWithStatus2) {
  WriteFile(dir_ / "in.fa", ">a\nRGD\n");
  const std::string fasta = dir_ / "in.fa";
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"-b", "--fasta", fasta},
       "--fasta and -b are two different searches: give one (--fasta reads FASTA files of any "
       "layout)"},
      {{"--fasta", fasta, "-bf", "-s", fasta},
       "--fasta and -b are two different searches: give one (--fasta reads FASTA files of any "
       "layout)"},
      {{"-s", "sprot", "--fasta", fasta}, "--fasta and -s both name the sequences: give one"},
      {{"--patterns", patterns_, "-l", "-m", motifs_, "-s", database_},
       "--patterns and -m both name the motifs: give one"},
      {{"--patterns", "-", "--fasta=-"}, "--fasta and --patterns cannot both read standard input"},
  };
  for (const auto& [args, message] : cases) {
    const ProcessResult r = RunSearch(args);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "brisel-search: " + message + "\n");
    EXPECT_EQ(r.status, 2);
  }
}

}  // namespace
