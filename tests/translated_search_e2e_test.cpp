// SPDX-License-Identifier: MIT
// End to end: the translated search (--translate) against its definition,
// the direct search of the stretches between stops written as protein FASTA.
// The tests translate random and real-like nucleotide records themselves
// (support/reference_translation.h) for every genetic code, cut each frame at
// its stops, write the stretches in the search's order (record, frame +1 to
// -3, stretch in the direction of translation) as FASTA records named
// "s<index>", and search them with --fasta; each hit's positions are then
// mapped onto the record by the tests' own arithmetic on the reverse
// complement, and written as each format writes a translated hit. Both
// streams and the status must be those bytes, for every format and for -j 1
// and -j 2. The records are both strands of back-translated proteins, ambiguous
// codons, RNA, lower case, records shorter than a codon, empty records and one
// long record whose frames the search cuts into pieces, with a stretch that
// runs across the cuts. Then: BED positions read back by bedtools and the
// GFF3 by genometools (when installed), compressed input and standard input,
// and the faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "compressed_text.h"
#include "support/process.h"
#include "support/reference_translation.h"
#include "support/temp_dir.h"
#include "translation/genetic_codes.h"

using namespace brisel;

namespace {

// Anchors at both ends, ranges, exclusions: the cut-off and the anchors must
// see each stretch as a protein of its own.
constexpr char kPatterns[] =
    "N-{P}-[ST]-{P}\tPS00001 ASN_GLYCOSYLATION\n"
    "[ST]-x-[RK]\tPS00005 PKC_PHOSPHO_SITE\n"
    "C-x(2,4)-C\tPX00001 CYS_PAIR\n"
    "[KR]-[DE]-x(0,2)-[LIVM]\tPX00002 CHARGED_HYDROPHOBIC\n"
    "<M-x-[KR]\tPX00003 N_TERMINAL\n"
    "[DE]-x-[KR]>\tPX00004 C_TERMINAL\n"
    "<x-[LIVMF]>\tPX00006 TWO_ONLY\n"
    "W-x(0,9)-W\tPX00005 TWO_W\n";

struct Record {
  std::string name;
  std::string bases;
};

std::size_t Pick(std::mt19937& random, std::size_t n) {
  return std::uniform_int_distribution<std::size_t>(0, n - 1)(random);
}

std::string RandomBases(std::mt19937& random, std::size_t length, bool ambiguous) {
  std::string bases;
  for (std::size_t i = 0; i < length; ++i) {
    bases += ambiguous && Pick(random, 6) == 0 ? "RYSWKMBDHVNnry"[Pick(random, 14)]
                                               : "ACGTACGTacgu"[Pick(random, 12)];
  }
  return bases;
}

// The residues of the sample proteins, one string.
const std::string& SampleResidues() {
  static const std::string residues = [] {
    std::string all;
    std::istringstream lines(ReadFile(std::string(BRISEL_DATA_DIR) + "/swissprot-100.fasta"));
    for (std::string line; std::getline(lines, line);)
      if (!line.empty() && line[0] != '>') all += line;
    return all;
  }();
  return residues;
}

// `protein` back-translated with `code`'s codons (letters it has no codon
// for are passed over), between two of its stops when it has any.
std::string BackTranslated(std::mt19937& random, const GeneticCode& code,
                           std::string_view protein) {
  std::map<char, std::vector<std::string>> codons;
  const std::string order = "TCAG";
  for (int c = 0; c < 64; ++c)
    codons[code.aminoAcids[c]].push_back({order[c / 16], order[c / 4 % 4], order[c % 4]});
  const auto codon = [&](char letter) {
    const auto& choices = codons.at(letter);
    return choices[Pick(random, choices.size())];
  };
  std::string bases = codons.count('*') ? codon('*') : "";
  for (const char letter : protein)
    if (codons.count(letter) != 0) bases += codon(letter);
  if (codons.count('*') != 0) bases += codon('*');
  return bases;
}

// Records of every kind; with `longRecord`, one of about 330,000 bases whose
// frames hold more codons than a piece, with an open reading frame of 40,000
// codons on each strand.
std::vector<Record> RandomGenome(unsigned seed, const GeneticCode& code, bool longRecord) {
  std::mt19937 random(seed);
  std::vector<Record> records;
  const std::string& proteins = SampleResidues();
  const auto protein = [&](std::size_t length) {
    return std::string_view(proteins).substr(Pick(random, proteins.size() - length), length);
  };
  const int count = 14 + static_cast<int>(Pick(random, 8));
  for (int r = 0; r < count; ++r) {
    std::string bases;
    switch (r < 7 ? r : 7 + Pick(random, 5)) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
      case 5:  // 0 to 5 bases
        bases = RandomBases(random, static_cast<std::size_t>(r), r % 2 == 1);
        break;
      case 6:
        bases = RandomBases(random, 3 + Pick(random, 40), false);
        break;
      case 7:
      case 8:  // a protein on either strand in random DNA
        bases = RandomBases(random, Pick(random, 200), true);
        bases += BackTranslated(random, code, protein(50 + Pick(random, 400)));
        if (Pick(random, 2) == 0) bases = ReverseComplement(bases);
        bases += RandomBases(random, Pick(random, 200), false);
        break;
      case 9:  // a protein right at both ends
        bases = BackTranslated(random, code, protein(30 + Pick(random, 100)));
        if (Pick(random, 2) == 0) bases = ReverseComplement(bases);
        break;
      default:
        bases = RandomBases(random, Pick(random, 3000), Pick(random, 2) == 0);
    }
    records.push_back(
        {"rec" + std::to_string(r) + " sample record " + std::to_string(seed), bases});
  }
  if (longRecord) {
    const std::string twice = proteins + proteins;
    std::string bases = RandomBases(random, 100000, false);
    bases += BackTranslated(random, code, twice.substr(0, 40000));
    bases += RandomBases(random, 50000, true);
    bases += ReverseComplement(BackTranslated(random, code, twice.substr(3000, 40000)));
    bases += RandomBases(random, 1000, false);
    records.insert(records.begin() + 3, {"long a very long record", bases});
  }
  return records;
}

// FASTA with lines of 60 or 7 bases, or none wrapped.
std::string FastaOf(const std::vector<Record>& records, std::size_t width) {
  std::string text;
  for (const Record& record : records) {
    text += ">" + record.name + "\n";
    const std::size_t w = width == 0 ? record.bases.size() + 1 : width;
    for (std::size_t at = 0; at < record.bases.size(); at += w)
      text += record.bases.substr(at, w) + "\n";
  }
  return text;
}

std::string FirstWord(const std::string& text) {
  return text.substr(0, text.find_first_of(" \t"));
}

// A stretch of the reference, and its record.
struct Stretch {
  std::size_t record;
  int frame;
  std::uint64_t first;  // its first amino acid in the frame, from 0
};

struct Hit {
  std::size_t stretch;
  std::uint64_t start, end;  // in the stretch, 1-based
  std::string record, segment, specificity, expectation, probability;
};

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t at = 0;
  for (std::size_t tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
    fields.push_back(line.substr(at, tab - at));
  fields.push_back(line.substr(at));
  return fields;
}

std::string Signed(int frame) {
  return (frame > 0 ? "+" : "-") + std::to_string(std::abs(frame));
}

class TranslatedSearch : public ::testing::Test {
 protected:
  void SetUp() override { WriteFile(patterns_, kPatterns); }

  // The reference's stretches of `records`, written to stretches.fa.
  std::vector<Stretch> WriteStretches(const GeneticCode& code, const std::vector<Record>& records,
                                      const std::vector<int>& frames, std::uint64_t minLength) {
    std::vector<Stretch> stretches;
    std::string fasta;
    for (std::size_t r = 0; r < records.size(); ++r) {
      for (const int frame : frames) {
        const std::string letters = ReferenceFrame(code, records[r].bases, frame);
        std::size_t start = 0;
        for (std::size_t at = 0; at <= letters.size(); ++at) {
          if (at < letters.size() && letters[at] != '*') continue;
          if (at > start && at - start >= minLength) {
            fasta += ">s" + std::to_string(stretches.size()) + "\n" +
                     letters.substr(start, at - start) + "\n";
            stretches.push_back({r, frame, start});
          }
          start = at + 1;
        }
      }
    }
    WriteFile(dir_ / "stretches.fa", fasta);
    return stretches;
  }

  // The hits of the direct search of the stretches, in its order.
  std::vector<Hit> DirectHits(const std::string& cutoff) {
    const ProcessResult r = RunSearch({"--patterns", patterns_, "--fasta", dir_ / "stretches.fa",
                                       "-e", cutoff, "-F", "tsv", "--no-header"});
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<Hit> hits;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      const std::vector<std::string> f = Fields(line);
      hits.push_back({std::stoull(f[0].substr(1)), std::stoull(f[1]), std::stoull(f[2]), f[3], f[4],
                      f[5], f[6], f[7]});
    }
    return hits;
  }

  // What the translated search writes in `format` for `hits`.
  static std::string Expected(const std::string& format, const std::vector<Record>& records,
                              const std::vector<Stretch>& stretches, const std::vector<Hit>& hits) {
    std::string out = format == "tsv"    ? "#name\tstart\tend\tstrand\tframe\trecord\tsegment\t"
                                           "specificity\texpectation\tp_no_random_hit\n"
                      : format == "gff3" ? "##gff-version 3\n"
                                         : "";
    std::size_t lastRecord = records.size();
    for (const Hit& hit : hits) {
      const Stretch& stretch = stretches[hit.stretch];
      const Record& record = records[stretch.record];
      const std::uint64_t n = record.bases.size(), k = std::abs(stretch.frame);
      const std::uint64_t first = stretch.first + hit.start - 1, end = stretch.first + hit.end;
      // Amino acids [first, end) read bases k - 1 + 3 first to k - 2 + 3 end
      // (0-based) of their strand; on the reverse strand, base p is forward
      // base n - 1 - p.
      std::uint64_t from = k - 1 + 3 * first, to = k - 2 + 3 * end;
      if (stretch.frame < 0) std::tie(from, to) = std::pair(n - 1 - to, n - 1 - from);
      const std::string strand = stretch.frame > 0 ? "+" : "-";
      const std::string seqid = FirstWord(record.name);
      const bool opens = stretch.record != lastRecord;
      lastRecord = stretch.record;
      if (format == "pipe") {
        if (opens) out += ">" + record.name + "\n";
        out += hit.expectation + "|" + hit.probability + "|" + hit.specificity + "|" + hit.record +
               "|" + hit.segment + "|" + std::to_string(first + 1) + "|" + std::to_string(end) +
               "|" + Signed(stretch.frame) + "|" + std::to_string(from + 1) + "|" +
               std::to_string(to + 1) + "\n";
      } else if (format == "tsv") {
        out += record.name + "\t" + std::to_string(from + 1) + "\t" + std::to_string(to + 1) +
               "\t" + strand + "\t" + Signed(stretch.frame) + "\t" + hit.record + "\t" +
               hit.segment + "\t" + hit.specificity + "\t" + hit.expectation + "\t" +
               hit.probability + "\n";
      } else if (format == "gff3") {
        if (opens) out += "##sequence-region " + seqid + " 1 " + std::to_string(n) + "\n";
        out += seqid + "\tbrisel\tpolypeptide_motif\t" + std::to_string(from + 1) + "\t" +
               std::to_string(to + 1) + "\t" + hit.expectation + "\t" + strand +
               "\t.\tName=" + FirstWord(hit.record) + ";Note=" + hit.record +
               ";specificity=" + hit.specificity + ";segment=" + hit.segment +
               ";p_no_random_hit=" + hit.probability + ";frame=" + Signed(stretch.frame) + "\n";
      } else {
        const double score = -100 * std::log10(std::strtod(hit.expectation.c_str(), nullptr));
        out += seqid + "\t" + std::to_string(from) + "\t" + std::to_string(to + 1) + "\t" +
               FirstWord(hit.record) + "\t" +
               std::to_string(score <= 0      ? 0
                              : score >= 1000 ? 1000
                                              : std::lround(score)) +
               "\t" + strand + "\n";
      }
    }
    return out;
  }

  static std::string ProgressLines(std::size_t records) {
    std::string err = "\n";
    for (std::size_t r = 1; r <= records; ++r)
      err += "Processing Sequence " + std::to_string(r) + "\r";
    return err + "\n";
  }

  ProcessResult Translated(const std::string& fasta, std::vector<std::string> options) {
    std::vector<std::string> args = {"--patterns", patterns_, "--fasta", fasta, "--translate"};
    args.insert(args.end(), options.begin(), options.end());
    return RunSearch(args);
  }

  TempDir dir_;
  std::string patterns_ = dir_ / "patterns.txt";
};

TEST_F(TranslatedSearch, EveryTableFramesAndFormatGiveTheDirectSearchOfTheStretches) {
  const std::vector<std::pair<std::string, std::vector<int>>> frameSets = {
      {"all", {1, 2, 3, -1, -2, -3}},
      {"forward", {1, 2, 3}},
      {"reverse", {-1, -2, -3}},
      {"1,-2", {1, -2}},
      {"-3,2", {2, -3}}};
  int round = 0;
  for (const GeneticCode& code : GeneticCodes()) {
    const auto& [frameWord, frames] = frameSets[round % frameSets.size()];
    const std::uint64_t minLength = round % 3 == 2 ? 7 : 1;
    const std::string cutoff = round % 2 == 0 ? "9" : "-2";
    const std::vector<Record> records =
        RandomGenome(static_cast<unsigned>(code.id), code, code.id == 1 || code.id == 11);
    const std::string fasta = dir_ / "genome.fa";
    WriteFile(fasta, FastaOf(records, std::vector<std::size_t>{60, 7, 0}[round % 3]));
    const std::vector<Stretch> stretches = WriteStretches(code, records, frames, minLength);
    const std::vector<Hit> hits = DirectHits(cutoff);
    std::vector<std::string> options = {"-e", cutoff, "--table", std::to_string(code.id)};
    if (frameWord != "all" || round % 4 == 1)
      options.insert(options.end(), {"--frames", frameWord});
    if (minLength != 1) options.insert(options.end(), {"--min-length", std::to_string(minLength)});
    for (const std::string format : {"pipe", "tsv", "gff3", "bed"}) {
      const std::string expected = Expected(format, records, stretches, hits);
      for (const std::string threads : {"1", "2"}) {
        SCOPED_TRACE("table " + std::to_string(code.id) + ", -F " + format + ", -j " + threads);
        std::vector<std::string> args = options;
        args.insert(args.end(), {"-F", format, "-j", threads});
        const ProcessResult r = Translated(fasta, args);
        EXPECT_TRUE(r.out == expected) << r.out.substr(0, 600) << "\n---\n"
                                       << expected.substr(0, 600);
        EXPECT_EQ(r.err, ProgressLines(records.size()));
        EXPECT_EQ(r.status, 0);
      }
    }
    ++round;
  }
}

TEST_F(TranslatedSearch, BedAndGff3AreReadBackByTheirTools) {
  const GeneticCode& code = GeneticCodeById(11);
  std::vector<Record> records = RandomGenome(5, code, false);
  records.erase(records.begin(), records.begin() + 6);  // bedtools wants no empty record
  WriteFile(dir_ / "genome.fa", FastaOf(records, 60));
  const ProcessResult tsv =
      Translated(dir_ / "genome.fa", {"-e", "9", "-F", "tsv", "--table", "11"});
  const ProcessResult bed =
      Translated(dir_ / "genome.fa", {"-e", "9", "-F", "bed", "--table", "11"});
  const ProcessResult gff3 =
      Translated(dir_ / "genome.fa", {"-e", "9", "-F", "gff3", "--table", "11", "-j", "2"});
  ASSERT_EQ(tsv.status + bed.status + gff3.status, 0);

  if (std::system("command -v bedtools > /dev/null 2>&1") == 0) {
    // The bases bedtools cuts out (reverse complemented on '-') translate
    // into each hit's segment.
    WriteFile(dir_ / "hits.bed", bed.out);
    const ProcessResult cut =
        RunProgram("/bin/sh", "sh",
                   {"-c", "exec bedtools getfasta -s -tab -fi \"$0\" -bed \"$1\"",
                    dir_ / "genome.fa", dir_ / "hits.bed"});
    ASSERT_EQ(cut.status, 0) << cut.err;
    std::istringstream rows(tsv.out.substr(tsv.out.find('\n') + 1)), pieces(cut.out);
    std::size_t count = 0;
    for (std::string row, piece; std::getline(rows, row) && std::getline(pieces, piece); ++count)
      ASSERT_EQ(ReferenceFrame(code, Fields(piece)[1], 1), Fields(row)[6]) << row << "\n" << piece;
    EXPECT_GT(count, 100u);
    EXPECT_EQ(count, static_cast<std::size_t>(std::count(bed.out.begin(), bed.out.end(), '\n')));
  }
  if (std::system("command -v gt > /dev/null 2>&1") == 0) {
    WriteFile(dir_ / "hits.gff3", gff3.out);
    const ProcessResult r =
        RunProgram("/bin/sh", "sh", {"-c", "exec gt gff3validator \"$0\"", dir_ / "hits.gff3"});
    EXPECT_EQ(r.status, 0) << r.err.substr(0, 2000);
    EXPECT_NE(r.out.find("input is valid GFF3"), std::string::npos) << r.out;
  }
}

TEST_F(TranslatedSearch, AReportLeavesTheStreamsAloneAndHasARecordPerSequence) {
  const std::vector<Record> records = RandomGenome(7, GeneticCodeById(11), false);
  WriteFile(dir_ / "genome.fa", FastaOf(records, 60));
  const std::vector<std::string> options = {"-e", "9", "--table", "11", "-F", "tsv"};
  const ProcessResult plain = Translated(dir_ / "genome.fa", options);
  ASSERT_EQ(plain.status, 0);
  const auto hits = std::count(plain.out.begin(), plain.out.end(), '\n') - 1;
  ASSERT_GT(hits, 100);
  std::string first;
  for (const std::string threads : {"1", "2"}) {
    std::vector<std::string> args = options;
    args.insert(args.end(), {"-j", threads, "--report", dir_ / "report.html"});
    const ProcessResult reported = Translated(dir_ / "genome.fa", args);
    EXPECT_TRUE(reported.out == plain.out && reported.err == plain.err && reported.status == 0);
    const std::string page = ReadFile(dir_ / "report.html");
    if (first.empty()) first = page;
    EXPECT_TRUE(page == first) << "-j " << threads;
  }
  EXPECT_NE(first.find("\"unit\":\"nt\""), std::string::npos);
  EXPECT_NE(first.find("\"counts\":{\"sequences\":" + std::to_string(records.size()) + ","),
            std::string::npos);
  EXPECT_NE(first.find(",\"hits\":" + std::to_string(hits) + ","), std::string::npos);
}

TEST_F(TranslatedSearch, CompressedInputAndStandardInputGiveThePlainFilesSearch) {
  const std::string text = FastaOf(RandomGenome(3, GeneticCodeById(1), false), 60);
  WriteFile(dir_ / "genome.fa", text);
  WriteFile(dir_ / "genome.fa.xz", CompressedText(text, Compression::kXz));
  const ProcessResult plain = Translated(dir_ / "genome.fa", {"-e", "9"});
  ASSERT_EQ(plain.status, 0);
  const ProcessResult xz = Translated(dir_ / "genome.fa.xz", {"-e", "9", "-j", "2"});
  EXPECT_TRUE(xz.out == plain.out && xz.err == plain.err && xz.status == 0);
  RunOptions fromFile;
  fromFile.stdinPath = dir_ / "genome.fa.xz";
  const ProcessResult piped =
      RunSearch({"--patterns", patterns_, "--fasta", "-", "--translate", "-e", "9"}, fromFile);
  EXPECT_TRUE(piped.out == plain.out && piped.err == plain.err && piped.status == 0);
}

TEST_F(TranslatedSearch, FaultsEndTheRunWithOneLine) {
  // A byte that is no nucleotide letter: the records before it stay written.
  const std::vector<Record> records = RandomGenome(4, GeneticCodeById(1), false);
  const std::string before = FastaOf({records[7], records[8]}, 60);
  WriteFile(dir_ / "before.fa", before);
  WriteFile(dir_ / "bad.fa",
            before + ">rec9 bad\nACGTNACGT\nACG-TAA\n" + FastaOf({records[9]}, 60));
  const ProcessResult expected = Translated(dir_ / "before.fa", {"-e", "9"});
  for (const std::string threads : {"1", "2"}) {
    const ProcessResult r = Translated(dir_ / "bad.fa", {"-e", "9", "-j", threads});
    const std::size_t line =
        static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n')) + 3;
    EXPECT_TRUE(r.out == expected.out);
    EXPECT_EQ(r.err, expected.err + "brisel-search: " + dir_ / "bad.fa" + ":" +
                         std::to_string(line) +
                         ": '-' in the sequence of record 'rec9 bad' is not a nucleotide letter "
                         "(IUPAC: A C G T U, R Y S W K M B D H V N, either case); hits up to "
                         "record 2 were written\n");
    EXPECT_EQ(r.status, 1);
  }
  // Values and options that cannot be searched: status 2, nothing read.
  const std::vector<std::pair<std::vector<std::string>, std::string>> usage = {
      {{"--translate", "-m", "x"},
       "--translate reads the nucleotide records of a FASTA file: give it with --fasta"},
      {{"--fasta", "x", "--table", "11"},
       "--table applies to the translated search: give --translate too"},
      {{"--fasta", "x", "--translate", "--table", "7"},
       "--table: '7' is not a genetic code: NCBI's translation tables are " + GeneticCodeIdList()},
      {{"--fasta", "x", "--translate", "--frames", "1,4"},
       "--frames: '4' is not a frame: frames are +1, +2, +3, -1, -2, -3, or all, forward, "
       "reverse"},
      {{"--fasta", "x", "--translate", "--min-length", "-3"},
       "invalid length '-3' (--min-length takes a whole number of amino acids, 0 or more)"}};
  for (const auto& [args, message] : usage) {
    const ProcessResult r = RunSearch(args);
    EXPECT_EQ(r.err, "brisel-search: " + message + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 2);
  }
}

}  // namespace
