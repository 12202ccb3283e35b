// SPDX-License-Identifier: MIT
// Tests of the motif index on its own, against a brute-force search of random
// motifs on random sequences: every motif takes exactly the route its masks
// call for, and every placement that matches a motif's filter masks is a
// candidate of the index (its window's bucket holds the motif, and both of the
// tests stored with it pass), for the indexed and the scan search.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "brisel.h"
#include "database/motif_database.h"
#include "engine/motif_index.h"
#include "engine/residue_codes.h"
#include "support/motif_db.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

// A position's mask: x, one letter, a group of letters, or (rarely) none.
std::uint32_t RandomMask(std::mt19937& random) {
  const std::uint32_t kind = random() % 20;
  if (kind < 5) return kAllLettersMask;
  if (kind == 19) return 0;
  std::uint32_t mask = 0;
  const std::uint32_t letters = kind < 12 ? 1 : 2 + random() % 4;
  for (std::uint32_t i = 0; i < letters; ++i)
    mask |= std::uint32_t{1} << (random() % kLetterCount);
  return mask;
}

std::vector<TestMotif> RandomMotifs(std::mt19937& random, std::uint32_t count) {
  std::vector<TestMotif> motifs;
  for (std::uint32_t m = 0; m < count; ++m) {
    TestMotif motif;
    const std::uint32_t width = 1 + random() % 12;
    for (std::uint32_t p = 0; p < width; ++p)
      motif.positions.push_back(RandomMask(random));
    motif.homingPosition = random() % width;
    motif.homingMask = motif.positions[motif.homingPosition] & (random() | random());
    motif.anchor = random() % 10 == 0 ? static_cast<std::uint8_t>(1 + random() % 3) : 0;
    motif.record = "M" + std::to_string(m);
    motifs.push_back(motif);
  }
  return motifs;
}

// Letter codes, mostly the common letters, now and then a rare one.
std::vector<std::uint8_t> RandomCodes(std::mt19937& random, std::uint32_t length) {
  static constexpr char kCommon[] = "ACDEFGHIKLMNPQRSTVWY";
  std::vector<std::uint8_t> codes(length);
  for (std::uint8_t& code : codes) {
    code = random() % 50 == 0 ? static_cast<std::uint8_t>(random() % kLetterCount)
                              : static_cast<std::uint8_t>(kCommon[random() % 20] - 'A');
  }
  return codes;
}

class MotifIndexTest : public ::testing::TestWithParam<bool> {};

TEST_P(MotifIndexTest, EveryMatchingPlacementIsACandidateOfItsRoute) {
  const bool homing = GetParam();
  std::uint64_t indexedHits = 0;
  for (unsigned seed = 1; seed <= 20; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::vector<TestMotif> motifs = RandomMotifs(random, 300);
    TempDir dir;
    WriteMotifDatabase(dir / "motifs", motifs);
    motifMappedMemoryCDT db{};
    MapMotifBlocksToMemory(1, &db, (dir / "motifs").c_str());
    const MotifIndex index(db, homing);
    ASSERT_EQ(index.motifCount(), motifs.size());

    // Routes: anchored motifs by their anchor, never-matching ones by a
    // position without letters, the rest through a table or walked.
    std::vector<std::uint32_t> residual, anchored;
    for (std::uint32_t m = 0; m < index.motifCount(); ++m) {
      const IndexedMotif& motif = index.motif(m);
      const std::uint32_t* filter = motif.filterMasks;
      const bool noLetter = std::any_of(filter, filter + motif.view.width,
                                        [](std::uint32_t mask) { return mask == 0; });
      if (motifs[m].anchor != 0) {
        EXPECT_EQ(motif.route, MotifRoute::kAnchored) << m;
        anchored.push_back(m);
      } else if (noLetter) {
        EXPECT_EQ(motif.route, MotifRoute::kNever) << m;
      } else {
        EXPECT_TRUE(motif.route == MotifRoute::kIndexed || motif.route == MotifRoute::kResidual)
            << m;
        if (motif.route == MotifRoute::kResidual) residual.push_back(m);
      }
      EXPECT_EQ(motif.route == MotifRoute::kIndexed, motif.table < index.tableCount()) << m;
      for (std::uint32_t p = 0; p < motif.view.width; ++p) {
        std::uint32_t expected = motifs[m].positions[p] & kAllLettersMask;
        if (homing && p == motifs[m].homingPosition) expected &= motifs[m].homingMask;
        EXPECT_EQ(filter[p], expected) << m << " position " << p;
      }
    }
    EXPECT_TRUE(std::ranges::equal(index.residualMotifs(), residual));
    EXPECT_TRUE(std::ranges::equal(index.anchoredMotifs(), anchored));

    // Candidates: every placement that matches an indexed motif's filter masks.
    for (int s = 0; s < 10; ++s) {
      const std::vector<std::uint8_t> codes = RandomCodes(random, 20 + random() % 300);
      const auto codeAt = [&](std::int64_t p) {
        return p >= 0 && p < static_cast<std::int64_t>(codes.size()) ? codes[p] : kNoLetter;
      };
      const auto allows = [&](std::uint32_t mask, std::int64_t p) {
        return codeAt(p) < kLetterCount && (mask >> codeAt(p) & 1) != 0;
      };
      for (std::uint32_t m = 0; m < index.motifCount(); ++m) {
        const IndexedMotif& motif = index.motif(m);
        if (motif.route != MotifRoute::kIndexed) continue;
        const std::uint32_t width = motif.view.width;
        for (std::int64_t start = 0; start + width <= std::ssize(codes); ++start) {
          bool match = true;
          for (std::uint32_t p = 0; p < width && match; ++p)
            match = allows(motif.filterMasks[p], start + p);
          if (!match) continue;
          ++indexedHits;

          const std::int64_t window = start + motif.windowOffset;
          const WindowShape& shape = index.Shape(motif.table);
          std::uint32_t code = 0;
          for (std::uint32_t i = 0; i < shape.size; ++i)
            code = code * kClassRadix + ClassOf(codeAt(window + shape.offsets[i]));
          const TableLookup lookup = index.Lookup(motif.table);
          ASSERT_NE(lookup.used[code / 32] >> (code % 32) & 1, 0u) << m << " at " << start;
          const std::uint32_t bucket = BucketOfCode(lookup, code);
          const std::uint32_t* bucketRuns = index.BucketRuns(motif.table);
          const RunTest* tests = index.RunTests(motif.table);
          const IndexRun* runs = index.Runs(motif.table);
          const IndexEntry* entries = index.Entries(motif.table);
          int found = 0;
          for (std::uint32_t r = bucketRuns[bucket]; r < bucketRuns[bucket + 1]; ++r) {
            const std::int64_t first = window + OffsetOf(tests[r]);
            const bool firstPasses = (ClassesOf(tests[r]) >> ClassOf(codeAt(first)) & 1) != 0;
            if (MotifOf(tests[r]) == m) {
              ++found;
              EXPECT_TRUE(firstPasses) << m << " at " << start;
              EXPECT_TRUE(allows(runs[r].motifMask, window + runs[r].motifOffset));
            }
            for (std::uint32_t e = runs[r].entries; e < runs[r + 1].entries; ++e) {
              if (entries[e].motif != m) continue;
              ++found;
              EXPECT_TRUE(firstPasses) << m << " at " << start;
              EXPECT_TRUE(allows(entries[e].checkMask, window + entries[e].checkOffset));
            }
          }
          EXPECT_EQ(found, 1) << m << " at " << start;
        }
      }
    }
    UnmapMotifBlocksFromMemory(&db);
  }
  EXPECT_GT(indexedHits, 1000u);  // the cases reach the tables
}

INSTANTIATE_TEST_SUITE_P(BothSearches, MotifIndexTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "Indexed" : "Scan";
                         });

}  // namespace
