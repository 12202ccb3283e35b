// SPDX-License-Identifier: MIT
// Property: on well-formed databases (every homing mask holds every letter of
// its homing position), the indexed search writes for every sequence exactly the
// hit lines that the scan search writes for the same text, in the same motif
// order, only ordered differently within a motif.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "support/hit_reports.h"
#include "support/motif_db.h"
#include "support/process.h"
#include "support/sequence_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

class RandomDatabases {
 public:
  explicit RandomDatabases(unsigned seed) : random_(seed) {}

  std::vector<TestSequence> Sequences() {
    // Mostly a few common letters, so that motifs find hits; now and then a
    // rare letter, a lower-case one or a character that is not a letter.
    const std::string common = "ACDEGKLST";
    const std::string rare = "BFHIMNOPQRUVWXYZacgk*-1";
    std::vector<TestSequence> sequences(Uniform(1, 8));
    for (std::size_t i = 0; i < sequences.size(); ++i) {
      sequences[i].name =
          "seq" + std::to_string(i) + (Uniform(0, 3) == 0 ? " some description" : "");
      const int length = Uniform(1, 80);
      for (int p = 0; p < length; ++p) {
        sequences[i].text += Uniform(0, 9) == 0 ? Pick(rare) : Pick(common);
      }
    }
    return sequences;
  }

  std::vector<TestMotif> Motifs() {
    const std::string letters = "ACDEGKLSTWY";
    std::vector<TestMotif> motifs(Uniform(1, 12));
    for (std::size_t m = 0; m < motifs.size(); ++m) {
      TestMotif& motif = motifs[m];
      const int width = Uniform(1, 6);
      for (int j = 0; j < width; ++j) {
        std::string allowed;
        for (int k = Uniform(1, 4); k > 0; --k)
          allowed += Pick(letters);
        // Now and then a position that allows no letter, or every letter.
        const int kind = Uniform(0, 40);
        motif.positions.push_back(kind == 0 ? 0u : kind == 1 ? 0x3FFFFFFu : Letters(allowed));
      }
      motif.homingPosition = static_cast<std::uint32_t>(Uniform(0, width - 1));
      motif.homingMask = motif.positions[motif.homingPosition];
      if (Uniform(0, 3) == 0) motif.homingMask |= Letters(std::string(1, Pick(letters)));
      motif.specificity =
          std::pow(10.0, -std::uniform_real_distribution<double>(0.5, 4.0)(random_));
      motif.lengthCorrection =
          std::uniform_real_distribution<double>(0.0, width * motif.specificity)(random_);
      motif.record = "m" + std::to_string(m);
    }
    return motifs;
  }

  std::string CutoffExponent() { return std::to_string(Uniform(-2, 2)); }

 private:
  int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  char Pick(const std::string& from) { return from[Uniform(0, static_cast<int>(from.size()) - 1)]; }

  std::mt19937 random_;
};

TEST(SearchEquivalence, IndexedAndScanSearchesReportTheSameHits) {
  int sequencesWithHits = 0;
  for (unsigned seed = 1; seed <= 80; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomDatabases random(seed);
    const std::vector<TestSequence> sequences = random.Sequences();
    const std::vector<TestMotif> motifs = random.Motifs();
    const std::string cutoff = random.CutoffExponent();

    TempDir dir;
    WriteMotifDatabase(dir / "motifs", motifs);
    WriteSequenceDatabase(dir / "sequences", sequences);
    WriteFile(dir / "input.fa", AsFasta(sequences));
    const ProcessResult indexed =
        RunSearch({"-l", "-e", cutoff, "-m", dir / "motifs", "-s", dir / "sequences"});
    const ProcessResult scan =
        RunSearch({"-l", "-b", "-f", "-e", cutoff, "-m", dir / "motifs", "-s", dir / "input.fa"});
    ASSERT_EQ(indexed.status, 0);
    ASSERT_EQ(scan.status, 0);
    ASSERT_EQ(indexed.err, scan.err) << "the same progress lines";

    sequencesWithHits +=
        static_cast<int>(ExpectSameHitsUpToOrderWithinAMotif(indexed.out, scan.out));
  }
  EXPECT_GT(sequencesWithHits, 100) << "the random databases should produce plenty of hits";
}

}  // namespace
