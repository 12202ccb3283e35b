// SPDX-License-Identifier: MIT
// End to end: the indexed search (the default mode) over small sequence
// databases. Standard output, standard error and the exit status are compared
// byte for byte.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/motif_db.h"
#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

class IndexedSearch : public ::testing::Test {
 protected:
  ProcessResult Search(const std::vector<TestMotif>& motifs,
                       const std::vector<TestSequence>& sequences,
                       std::vector<std::string> extra = {}) {
    WriteMotifDatabase(motifRoot_, motifs);
    WriteSequenceDatabase(sequenceRoot_, sequences);
    return Run(std::move(extra));
  }

  ProcessResult Run(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"-l", "-m", motifRoot_, "-s", sequenceRoot_};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunSearch(args);
  }

  // The worked example: K, L or I, M homed on its second position with the
  // homing letters I and L.
  static TestMotif WorkedMotif() {
    TestMotif motif = MakeMotif({"K", "LI", "M"}, 0.001, 0.003, "R");
    motif.homingPosition = 1;
    motif.homingMask = Letters("IL");
    return motif;
  }

  static TestMotif Homed(TestMotif motif, std::uint32_t position, std::string_view letters) {
    motif.homingPosition = position;
    motif.homingMask = Letters(letters);
    return motif;
  }

  TempDir dir_;
  std::string motifRoot_ = dir_ / "motifs";
  std::string sequenceRoot_ = dir_ / "sequences";
};

TEST_F(IndexedSearch, WorkedExampleWalksIBeforeL) {
  const ProcessResult r = Search({WorkedMotif()}, {{"S", "GAKLMAKIM"}});
  EXPECT_EQ(r.out,
            ">S\n"
            "7.00e-03|0.993|1.000e-03|R|KIM|7|9\n"
            "7.00e-03|0.993|1.000e-03|R|KLM|3|5\n");
  EXPECT_EQ(r.err, "\nProcessing Sequence 1\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IndexedSearch, HitsOfTheFirstHomingLetterComeFirstWhateverTheirStarts) {
  const ProcessResult r =
      Search({Homed(MakeMotif({"AB"}, 0.1, 0.0, "ab"), 0, "AB")}, {{"s", "BBA"}}, {"-e", "0"});
  EXPECT_EQ(r.out,
            ">s\n"
            "4.00e-01|0.729|1.000e-01|ab|A|3|3\n"
            "4.00e-01|0.729|1.000e-01|ab|B|1|1\n"
            "4.00e-01|0.729|1.000e-01|ab|B|2|2\n");
}

TEST_F(IndexedSearch, AMotifWithHomingMaskZeroCountsButIsNeverTried) {
  const ProcessResult r = Search({Homed(MakeMotif({"G"}, 0.001, 0.0, "never"), 0, ""),
                                  Homed(MakeMotif({"A"}, 0.001, 0.0, "A"), 0, "A")},
                                 {{"s", "GAG"}});
  // E = (3 x 0.001 + 0.001) twice; P = 0.999^3 twice.
  EXPECT_EQ(r.out, ">s\n8.00e-03|0.994|1.000e-03|A|A|2|2\n");
}

TEST_F(IndexedSearch, OccurrencesBeforeTheHomingPositionArePassedOver) {
  const ProcessResult r =
      Search({Homed(MakeMotif({"A", "K"}, 0.001, 0.0, "AK"), 1, "K")}, {{"s", "KAK"}});
  EXPECT_EQ(r.out, ">s\n4.00e-03|0.998|1.000e-03|AK|AK|2|3\n");
}

TEST_F(IndexedSearch, AHitEndingOnTheLastResidueAndTheWalkPastTheEnd) {
  // List A is 0, 2: the placement at 2 runs past the end and ends that walk;
  // list K is then walked and its placement ends on the last residue.
  const ProcessResult r =
      Search({Homed(MakeMotif({"AK", "AK"}, 0.001, 0.0, "m"), 0, "AK")}, {{"s", "AKA"}});
  EXPECT_EQ(r.out,
            ">s\n"
            "4.00e-03|0.998|1.000e-03|m|AK|1|2\n"
            "4.00e-03|0.998|1.000e-03|m|KA|2|3\n");
}

TEST_F(IndexedSearch, EmptySequencesAndEmptyNames) {
  const ProcessResult r = Search({Homed(MakeMotif({"A"}, 0.001, 0.0, "A"), 0, "A")},
                                 {{"empty", ""}, {"", "A"}, {"", ""}});
  EXPECT_EQ(r.out, ">\n2.00e-03|0.999|1.000e-03|A|A|1|1\n");
  EXPECT_EQ(r.err, "\nProcessing Sequence 1\rProcessing Sequence 2\rProcessing Sequence 3\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IndexedSearch, TheCutoffRestartsForEachSequence) {
  const TestMotif second = Homed(MakeMotif({"G"}, 0.001, 0.0, "G1"), 0, "G");
  const ProcessResult r =
      Search({WorkedMotif(), second}, {{"a", "GAKLMAKIM"}, {"none", "AAA"}, {"b", "GAKLMAKIM"}});
  const std::string hits =
      "7.00e-03|0.993|1.000e-03|R|KIM|7|9\n"
      "7.00e-03|0.993|1.000e-03|R|KLM|3|5\n";
  EXPECT_EQ(r.out, ">a\n" + hits + ">b\n" + hits);
  EXPECT_EQ(r.err, "\nProcessing Sequence 1\rProcessing Sequence 2\rProcessing Sequence 3\r\n");
}

TEST_F(IndexedSearch, OneHeaderForHitsOfSeveralMotifs) {
  const ProcessResult r = Search({Homed(MakeMotif({"A"}, 0.001, 0.0, "a"), 0, "A"),
                                  Homed(MakeMotif({"C"}, 0.001, 0.0, "c"), 0, "C")},
                                 {{"two", "AC"}});
  EXPECT_EQ(r.out,
            ">two\n"
            "3.00e-03|0.998|1.000e-03|a|A|1|1\n"
            "6.00e-03|0.996|1.000e-03|c|C|2|2\n");
}

TEST_F(IndexedSearch, NonLetterResiduesAreInNoList) {
  // offsets holds two entries while numSequenceBits is 3: the block is mapped
  // with the upper bound and its file is shorter.
  const ProcessResult r =
      Search({Homed(MakeMotif({"A", "x", "C"}, 0.001, 0.0, "gap"), 0, "A")}, {{"s", "A*C"}});
  EXPECT_EQ(std::filesystem::file_size(sequenceRoot_ + "-offsets.bin"), 8u);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  const ProcessResult lower =
      Search({Homed(MakeMotif({"A", "ACDEFGHIKLMNPQRSTVWXYZ", "C"}, 0.001, 0.0, "gap"), 0, "A")},
             {{"s", "aDc"}});
  EXPECT_EQ(lower.out, ">s\n4.00e-03|0.999|1.000e-03|gap|aDc|1|3\n");
}

TEST_F(IndexedSearch, LongNamesArePrintedWhole) {
  const std::string name(25000, 'n');
  const ProcessResult r =
      Search({Homed(MakeMotif({"W"}, 0.001, 0.0, "W"), 0, "W")}, {{name, "AW"}});
  EXPECT_EQ(r.out, ">" + name + "\n3.00e-03|0.998|1.000e-03|W|W|2|2\n");
}

TEST_F(IndexedSearch, ADatabaseWithoutSequences) {
  const ProcessResult r = Search({WorkedMotif()}, {});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\n\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IndexedSearch, AMotifDatabaseWithoutMotifs) {
  const ProcessResult r = Search({}, {{"a", "ACD"}, {"b", "EFG"}});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\nProcessing Sequence 1\rProcessing Sequence 2\r\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(IndexedSearch, FastaFlagWithoutScanChangesNothing) {
  WriteMotifDatabase(motifRoot_, {WorkedMotif()});
  WriteSequenceDatabase(sequenceRoot_, {{"S", "GAKLMAKIM"}});
  EXPECT_EQ(Run({"-f"}).out, Run().out);
}

TEST_F(IndexedSearch, StoredPositionsNearTwoToThe32EndTheWalk) {
  // start + width would wrap to a small value in 32 bits.
  WriteMotifDatabase(motifRoot_, {Homed(MakeMotif({"A", "C"}, 0.001, 0.0, "AC"), 1, "AC")});
  WriteSequenceDatabase(sequenceRoot_, {{"s", "ACAC"}});
  // Lists: A at 0 and 2 (entries 0, 1), C at 1 and 3 (entries 2, 3).
  PatchUnsigned(sequenceRoot_ + "-offsets.bin", 0, 4294967295u);
  PatchUnsigned(sequenceRoot_ + "-offsets.bin", 2, 4294967295u);
  const ProcessResult r = Run();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
  // A later list is still walked.
  PatchUnsigned(sequenceRoot_ + "-offsets.bin", 2, 1);
  const ProcessResult after = Run();
  EXPECT_EQ(after.out,
            ">s\n"
            "5.00e-03|0.997|1.000e-03|AC|AC|1|2\n"
            "5.00e-03|0.997|1.000e-03|AC|AC|3|4\n");
}

// ---- Paths and failures --------------------------------------------------------

TEST_F(IndexedSearch, LocalPathsRelativeToTheWorkingDirectory) {
  WriteMotifDatabase(dir_ / "m/db", {WorkedMotif()});
  WriteSequenceDatabase(dir_ / "s/db", {{"S", "GAKLMAKIM"}});
  RunOptions options;
  options.workingDirectory = dir_.path().string();
  const ProcessResult r = RunSearch({"-m", "m/db", "-l", "-s", "s/db"}, options);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, 3), ">S\n");
}

TEST_F(IndexedSearch, AMissingSequenceBlock) {
  WriteMotifDatabase(motifRoot_, {WorkedMotif()});
  WriteSequenceDatabase(sequenceRoot_, {{"S", "GAKLMAKIM"}});
  std::filesystem::remove(sequenceRoot_ + "-bitSequences.bin");
  const ProcessResult r = Run();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\nFatal Error:  Memory mapping failed!\n ");
  EXPECT_EQ(r.status, 1);
}

TEST_F(IndexedSearch, AMissingSequenceStatsFile) {
  WriteMotifDatabase(motifRoot_, {WorkedMotif()});
  const ProcessResult r = Run();
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "\nbrisel-search: cannot open stats file '" + sequenceRoot_ +
                       "-stats': No such file or directory\n");
  EXPECT_EQ(r.status, 1);
}

TEST_F(IndexedSearch, TheDefaultDatabases) {
  if (std::filesystem::exists("/usr/share/corvane/lumisca_brisel/brisels/tallowmere-stats")) {
    GTEST_SKIP() << "SKIPPED: a tallowmere database is installed on this machine";
  }
  const ProcessResult r = RunSearch({});
  EXPECT_EQ(r.err,
            "brisel-search: cannot open stats file "
            "'/usr/share/corvane/lumisca_brisel/brisels/tallowmere-stats': "
            "No such file or directory\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
