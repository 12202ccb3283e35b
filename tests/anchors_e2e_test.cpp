// SPDX-License-Identifier: MIT
// End to end: anchored PROSITE patterns through brisel-makedb and both
// searches. The ER retention signal (KDEL) and the peroxisomal targeting
// signal 1 are tied to the C-terminus, a pattern with a leading range to the
// N-terminus; they are searched over the 100 sample Swiss-Prot entries and a
// few made-up sequences, and every stream is compared byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

constexpr const char* kPatterns =
    "[KRHQSA]-[DENQ]-E-L>\tPS00014 ER_TARGET\n"
    "[STAGCN]-[RKH]-[LIVMAFY]>\tPS00342 MICROBODIES_CTER\n"
    "<x(0,11)-C-x(2)-[DE]\tNTERM_CYS\n";

// Made up: C-terminal KDEL and SKL, both inside a sequence (no hit), a
// sequence exactly as wide as the KDEL motif, and one narrower than it.
constexpr const char* kMadeUp =
    ">ER_RESIDENT made up, ends in KDEL\nMKWVTFLLLLFISGSAFSAKDEL\n"
    ">PEROXISOMAL made up, ends in SKL\nMSTAGKPLSKL\n"
    ">INTERNAL made up, KDEL and SKL not at the end\nMKDELSKLAA\n"
    ">ONLY_HDEL\nHDEL\n"
    ">TOO_SHORT\nDEL\n";

// With -e 0 (a cut-off of 1) every motif is tried on these sequences. The
// placement count of an anchored motif is 1: E grows by s per motif with a
// placement (PS00014 alone gives E = s on ER_RESIDENT), P by the factor 1 - s.
constexpr const char* kExpected =
    ">ACTC_TAKRU P53480 Actin, alpha cardiac (Precursor)\n"
    "2.11e-02|0.979|1.882e-03|NTERM_CYS|MCDDD|1|5\n"
    ">ACTSA_TAKRU P68140 Actin, alpha skeletal muscle A (Alpha-actin-1 A) (Precursor)\n"
    "2.11e-02|0.979|1.882e-03|NTERM_CYS|MCDDD|1|5\n"
    ">ACTSB_TAKRU P53482 Actin, alpha skeletal muscle B (Alpha-actin-1 B) (Precursor)\n"
    "2.11e-02|0.979|1.882e-03|NTERM_CYS|MCDDD|1|5\n"
    ">ACTS_OREMO P68264 Actin, alpha skeletal muscle (Alpha-actin-1) (Precursor)\n"
    "2.11e-02|0.979|1.882e-03|NTERM_CYS|MCDDD|1|5\n"
    ">FLAV_DESGI Q01095 Flavodoxin\n"
    "4.05e-02|0.960|1.756e-02|PS00342 MICROBODIES_CTER|ARV|144|146\n"
    ">FLAV_MEGEL P00321 Flavodoxin\n"
    "4.05e-02|0.960|1.756e-02|PS00342 MICROBODIES_CTER|AKA|135|137\n"
    ">FLS_MATIN O04395 Flavonol synthase/flavanone 3-hydroxylase (FLS) (1.14.11.23) "
    "(1.14.11.9) (Fragment)\n"
    "7.91e-03|0.992|1.881e-03|NTERM_CYS|QVPVVDLSCPDE|1|12\n"
    ">OPS2_DROME P08099 Opsin Rh2 (Ocellar opsin)\n"
    "4.05e-02|0.960|1.756e-02|PS00342 MICROBODIES_CTER|SKA|379|381\n"
    ">OPS2_DROPS P28679 Opsin Rh2 (Ocellar opsin)\n"
    "4.05e-02|0.960|1.756e-02|PS00342 MICROBODIES_CTER|SKA|379|381\n"
    ">PAX2_HUMAN Q02962 Paired box protein Pax-2\n"
    "1.54e-02|0.985|1.881e-03|NTERM_CYS|MDMHCKAD|1|8\n"
    ">ER_RESIDENT made up, ends in KDEL\n"
    "3.84e-04|1.000|3.841e-04|PS00014 ER_TARGET|KDEL|20|23\n"
    ">PEROXISOMAL made up, ends in SKL\n"
    "3.30e-02|0.967|1.756e-02|PS00342 MICROBODIES_CTER|SKL|9|11\n"
    ">ONLY_HDEL\n"
    "3.84e-04|1.000|3.841e-04|PS00014 ER_TARGET|HDEL|1|4\n";

class AnchoredPatterns : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "patterns.txt", kPatterns);
    const ProcessResult motifs = RunMakedb({"motifs", dir_ / "patterns.txt", motifs_});
    ASSERT_EQ(motifs.status, 0) << motifs.err;
    // KDEL and PTS1 one motif each, the leading range x(0,11) twelve.
    ASSERT_EQ(motifs.err, "14 motifs from 3 patterns written to " + motifs_ + "\n");
    fasta_ = ReadFile(BRISEL_DATA_DIR "/swissprot-100.fasta") + kMadeUp;
    WriteFile(dir_ / "sequences.fa", fasta_);
    const ProcessResult sequences = RunMakedb({"sequences", dir_ / "sequences.fa", sequences_});
    ASSERT_EQ(sequences.status, 0) << sequences.err;
  }

  static std::string Progress(int sequences) {
    std::string err = "\n";
    for (int n = 1; n <= sequences; ++n)
      err += "Processing Sequence " + std::to_string(n) + "\r";
    return err + "\n";
  }

  TempDir dir_;
  std::string motifs_ = dir_ / "anchored";
  std::string sequences_ = dir_ / "sequences";
  std::string fasta_;
};

TEST_F(AnchoredPatterns, TheAnchorsBlockTiesEachMotif) {
  const std::string anchors = ReadFile(motifs_ + "-anchors.bin");
  ASSERT_EQ(anchors.size(), 14u);
  EXPECT_EQ(std::count(anchors.begin(), anchors.end(), '\1'), 12);
  EXPECT_EQ(std::count(anchors.begin(), anchors.end(), '\2'), 2);
}

TEST_F(AnchoredPatterns, BothSearchesReportTheHitsAtTheTermini) {
  for (const char* threads : {"1", "2"}) {
    SCOPED_TRACE(std::string("-j ") + threads);
    const ProcessResult indexed =
        RunSearch({"-j", threads, "-e", "0", "-l", "-m", motifs_, "-s", sequences_});
    EXPECT_EQ(indexed.status, 0);
    EXPECT_EQ(indexed.out, kExpected);
    EXPECT_EQ(indexed.err, Progress(105));

    // Each anchored motif has one placement, so the scan search reports the
    // same lines in the same order; its header is the name line as read.
    WriteFile(dir_ / "single.fa", SingleLineFasta(fasta_));
    const ProcessResult scan = RunSearch(
        {"-j", threads, "-e", "0", "-l", "-b", "-f", "-m", motifs_, "-s", dir_ / "single.fa"});
    EXPECT_EQ(scan.status, 0);
    EXPECT_EQ(scan.out, kExpected);
    EXPECT_EQ(scan.err, Progress(105));
  }
}

TEST_F(AnchoredPatterns, WithoutItsAnchorsKdelAlsoHitsInside) {
  WriteFile(dir_ / "unanchored.txt", "[KRHQSA]-[DENQ]-E-L\tKDEL anywhere\n");
  ASSERT_EQ(RunMakedb({"motifs", "-q", dir_ / "unanchored.txt", dir_ / "kdel"}).status, 0);
  WriteFile(dir_ / "internal.txt", "MKDELSKLAA\n");
  const ProcessResult anywhere =
      RunSearch({"-l", "-b", "-m", dir_ / "kdel", "-s", dir_ / "internal.txt"});
  EXPECT_EQ(anywhere.out, "2.69e-03|0.997|3.841e-04|KDEL anywhere|KDEL|2|5\n");
  const ProcessResult anchored =
      RunSearch({"-l", "-b", "-m", motifs_, "-s", dir_ / "internal.txt"});
  EXPECT_EQ(anchored.out, "");
  EXPECT_EQ(anchored.status, 0);
}

}  // namespace
