// SPDX-License-Identifier: MIT
// The engine's per-residue loops and its window choice, against plain
// definitions:
// - every kernel level this processor runs (pass_kernels.h) computes exactly
//   what the scalar kernels compute, on random classes, bitmaps and masks;
// - a database sequence's letter codes are accepted exactly when its residue
//   masks are single letters or 0 and its letter position lists are exactly
//   the ascending positions of each letter (a direct comparison with lists
//   built from the codes), under random damage of either;
// - patterns rich in x, and the many motifs of one pattern's ranges, get
//   windows (gapped ones), within the limits of window_choice.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "brisel.h"
#include "engine/pass_kernels.h"
#include "engine/residue_codes.h"
#include "engine/window_choice.h"

using namespace brisel;

namespace {

std::vector<KernelLevel> AvailableLevels() {
  std::vector<KernelLevel> levels;
  for (const KernelLevel level : {KernelLevel::kScalar, KernelLevel::kSse2, KernelLevel::kAvx2}) {
    if (KernelLevelAvailable(level)) levels.push_back(level);
  }
  return levels;
}

TEST(PassKernels, EveryLevelGathersTheWindowsTheScalarKernelGathers) {
  std::mt19937 random(7);
  const PassKernels scalar = KernelsOf(KernelLevel::kScalar);
  std::vector<std::uint8_t> classes(256 + kMaxShapeSpan);
  std::size_t windows = 0;
  for (int round = 0; round < 3000; ++round) {
    // A shape of 1 to 4 positions within the span, a bitmap of a random
    // density, classes of few kinds (so that codes repeat) or of all.
    WindowShape shape;
    shape.size = 1 + random() % kMaxWindow;
    std::vector<std::uint8_t> offsets(kMaxShapeSpan);
    for (std::uint32_t i = 0; i < kMaxShapeSpan; ++i)
      offsets[i] = static_cast<std::uint8_t>(i);
    std::shuffle(offsets.begin() + 1, offsets.end(), random);
    std::sort(offsets.begin(), offsets.begin() + shape.size);
    for (std::uint32_t i = 0; i < shape.size; ++i)
      shape.offsets[i] = offsets[i];
    const CodeTerms terms = TermsOf(shape);
    std::uint32_t codes = 1;
    for (std::uint32_t i = 0; i < shape.size; ++i)
      codes *= kClassRadix;
    std::vector<std::uint32_t> used(codes / 32 + 1);
    const unsigned density = random() % 4;
    for (std::uint32_t& word : used) {
      word = static_cast<std::uint32_t>(random());
      for (unsigned d = 0; d < density; ++d)
        word &= static_cast<std::uint32_t>(random());
    }
    std::vector<std::uint32_t> ranks(used.size());
    for (std::size_t w = 1; w < used.size(); ++w)
      ranks[w] = ranks[w - 1] + static_cast<std::uint32_t>(std::popcount(used[w - 1]));
    const std::uint32_t kinds = round % 3 == 0 ? kClassRadix : 2 + random() % 4;
    for (std::uint8_t& c : classes)
      c = static_cast<std::uint8_t>(random() % kinds);
    const TableLookup table{terms, used.data(), ranks.data()};
    const std::uint64_t starts = round % 4 == 0 ? 1 + random() % 255 : 64 * (1 + random() % 3);
    const std::uint64_t base = random() % 100000;

    WindowRef expected[256], got[256];
    const std::size_t count = scalar.gather(classes.data(), base, starts, table, expected);
    windows += count;
    for (const KernelLevel level : AvailableLevels()) {
      SCOPED_TRACE("level " + std::to_string(static_cast<int>(level)) + ", round " +
                   std::to_string(round));
      ASSERT_EQ(KernelsOf(level).gather(classes.data(), base, starts, table, got), count);
      EXPECT_TRUE(std::equal(expected, expected + count, got));
    }
    // The scalar kernel against the definition itself.
    std::size_t n = 0;
    for (std::uint32_t i = 0; i < starts; ++i) {
      const std::uint32_t code = WindowCode(classes.data() + i, terms);
      if ((used[code / 32] >> (code % 32) & 1) == 0) continue;
      ASSERT_LT(n, count);
      EXPECT_EQ(StartOf(expected[n]), base + i);
      EXPECT_EQ(BucketOf(expected[n]), BucketOfCode(table, code));
      ++n;
    }
    EXPECT_EQ(n, count);
  }
  EXPECT_GT(windows, 30000u);
}

TEST(PassKernels, EveryLevelFormsTheCodesTheScalarKernelForms) {
  std::mt19937 random(11);
  const PassKernels scalar = KernelsOf(KernelLevel::kScalar);
  for (int round = 0; round < 2000; ++round) {
    const std::size_t count = random() % 200;
    std::vector<std::uint32_t> masks(count);
    const bool clean = round % 2 == 0;  // single letters and 0 only
    for (std::uint32_t& mask : masks) {
      const unsigned kind = random() % (clean ? 10 : 14);
      mask = kind == 0   ? 0u
             : kind < 10 ? 1u << (random() % 26)
             : kind < 12 ? static_cast<std::uint32_t>(random())
                         : 1u << (26 + random() % 6);
    }
    std::vector<std::uint8_t> codes(count), classes(count);
    std::uint64_t blanks = 0;
    const std::uint32_t odd =
        scalar.residues.codesFromMasks(masks.data(), count, codes.data(), classes.data(), blanks);
    // The scalar kernel against the definition.
    std::uint64_t zeros = 0;
    bool single = true;
    for (std::size_t p = 0; p < count; ++p) {
      const std::uint32_t mask = masks[p];
      zeros += mask == 0;
      single = single && (mask == 0 || (std::has_single_bit(mask) && mask < (1u << 26)));
      if (mask == 0) {
        EXPECT_EQ(codes[p], kNoLetter);
      } else if (std::has_single_bit(mask) && mask < (1u << 26)) {
        EXPECT_EQ(codes[p], std::countr_zero(mask));
      }
      EXPECT_EQ(classes[p], ClassOf(codes[p]));
    }
    EXPECT_EQ(blanks, zeros);
    EXPECT_EQ(odd == 0, single);
    for (const KernelLevel level : AvailableLevels()) {
      SCOPED_TRACE("level " + std::to_string(static_cast<int>(level)));
      std::vector<std::uint8_t> levelCodes(count), levelClasses(count);
      std::uint64_t levelBlanks = 0;
      const std::uint32_t levelOdd = KernelsOf(level).residues.codesFromMasks(
          masks.data(), count, levelCodes.data(), levelClasses.data(), levelBlanks);
      EXPECT_EQ(levelOdd == 0, odd == 0);
      EXPECT_EQ(levelBlanks, blanks);
      if (odd == 0) {
        EXPECT_EQ(levelCodes, codes);
        EXPECT_EQ(levelClasses, classes);
      }
    }
  }
}

// A sequence as a database holds it: masks, and 26 letter position lists.
struct ListedSequenceData {
  std::vector<std::uint32_t> masks;
  std::vector<std::uint32_t> lists;  // 27 indices into positions
  std::vector<std::uint32_t> positions;

  ListedSequence View() const {
    return {masks.size(), masks.data(), lists.data(), positions.data()};
  }
};

ListedSequenceData BuildListed(const std::vector<std::uint8_t>& letters) {
  ListedSequenceData data;
  for (const std::uint8_t letter : letters)
    data.masks.push_back(letter < 26 ? 1u << letter : 0u);
  for (std::uint32_t k = 0; k < 26; ++k) {
    data.lists.push_back(static_cast<std::uint32_t>(data.positions.size()));
    for (std::uint32_t p = 0; p < letters.size(); ++p) {
      if (letters[p] == k) data.positions.push_back(p);
    }
  }
  data.lists.push_back(static_cast<std::uint32_t>(data.positions.size()));
  return data;
}

// The definition: masks are single letters or 0, and each list is exactly the
// ascending positions of its letter.
bool Exact(const ListedSequenceData& data) {
  std::vector<std::uint8_t> letters;
  for (const std::uint32_t mask : data.masks) {
    if (mask != 0 && (!std::has_single_bit(mask) || mask >= (1u << 26))) return false;
    letters.push_back(mask == 0 ? 26 : static_cast<std::uint8_t>(std::countr_zero(mask)));
  }
  const ListedSequenceData expected = BuildListed(letters);
  return expected.lists == data.lists && expected.positions == data.positions;
}

TEST(ResidueCodes, ADatabaseSequenceIsServedExactlyWhenItsListsAreItsOwn) {
  std::mt19937 random(3);
  std::size_t served = 0, refused = 0;
  for (int round = 0; round < 20000; ++round) {
    std::vector<std::uint8_t> letters(random() % 60);
    for (std::uint8_t& letter : letters)
      letter = static_cast<std::uint8_t>(random() % 8 == 0 ? 26 : random() % (round % 2 ? 4 : 26));
    ListedSequenceData data = BuildListed(letters);
    // The lists stay ascending indices within the block (the database check
    // refuses others); positions and masks may be anything.
    const unsigned damage = random() % 8;
    if (damage == 1 && !data.positions.empty()) {
      data.positions[random() % data.positions.size()] =
          random() % 3 == 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(random() % 70);
    } else if (damage == 2 && data.positions.size() > 1) {
      const std::size_t at = random() % (data.positions.size() - 1);
      std::swap(data.positions[at], data.positions[at + 1]);
    } else if (damage == 3 && !data.masks.empty()) {
      data.masks[random() % data.masks.size()] = 1u << (random() % 32);
    } else if (damage == 4 && !data.masks.empty()) {
      data.masks[random() % data.masks.size()] |= 1u << (random() % 26);
    } else if (damage == 5) {
      // Entries moved from one list's end to the next one's start.
      const std::uint32_t k = 1 + random() % 25;
      if (data.lists[k] > data.lists[k - 1]) --data.lists[k];
    } else if (damage == 6 && !data.positions.empty()) {
      data.positions.push_back(data.positions.back());
      data.lists[26] += 1;
    }
    ResidueCodes codes;
    for (const KernelLevel level : AvailableLevels()) {
      const bool accepted = codes.FromListedSequence(data.View(), KernelsOf(level).residues);
      ASSERT_EQ(accepted, Exact(data))
          << "round " << round << ", damage " << damage << ", level " << static_cast<int>(level);
      if (!accepted) continue;
      for (std::size_t p = 0; p < letters.size(); ++p) {
        ASSERT_EQ(codes.codes()[p], letters[p]);
        ASSERT_EQ(codes.classes()[p], ClassOf(letters[p]));
      }
      // The padding on both sides matches nothing.
      EXPECT_EQ(codes.codes()[-1], kNoLetter);
      EXPECT_EQ(codes.codes()[letters.size() + kCodePaddingAfter - 1], kNoLetter);
      EXPECT_EQ(codes.classes()[-static_cast<std::ptrdiff_t>(kCodePaddingBefore)], kOtherClass);
      EXPECT_EQ(codes.classes()[letters.size()], kOtherClass);
    }
    (Exact(data) ? served : refused) += 1;
  }
  EXPECT_GT(served, 5000u);
  EXPECT_GT(refused, 5000u);
}

TEST(WindowChoice, PatternsRichInXGetGappedWindowsWithinTheLimits) {
  // The motifs of C-x(2,4)-C-x(3)-[LIVMFYWC]-x(8)-H-x(3,5)-H, a few times
  // over with other letters: no contiguous window of four positions within
  // the combination cap is selective, gapped ones are.
  std::vector<std::vector<std::uint32_t>> motifs;
  const auto letter = [](char c) { return 1u << (c - 'A'); };
  const char* const sets[][4] = {{"C", "C", "LIVMFYWC", "H"}, {"W", "M", "FY", "C"},
                                 {"H", "W", "CM", "Y"},       {"M", "Y", "W", "H"},
                                 {"C", "H", "Q", "W"},        {"Y", "C", "HM", "W"}};
  for (const auto& set : sets) {
    for (std::uint32_t gap1 = 2; gap1 <= 4; ++gap1) {
      for (std::uint32_t gap2 = 3; gap2 <= 5; ++gap2) {
        std::vector<std::uint32_t> masks;
        const auto add = [&](const char* letters) {
          std::uint32_t mask = 0;
          for (const char* c = letters; *c != '\0'; ++c)
            mask |= letter(*c);
          masks.push_back(mask);
        };
        const auto gap = [&](std::uint32_t n) { masks.insert(masks.end(), n, kAllLettersMask); };
        add(set[0]);
        gap(gap1);
        add(set[0]);
        gap(3);
        add(set[2]);
        gap(8);
        add(set[3]);
        gap(gap2);
        add(set[3]);
        motifs.push_back(masks);
      }
    }
  }
  std::vector<WindowCandidate> candidates;
  for (const auto& masks : motifs)
    candidates.push_back({masks.data(), static_cast<std::uint32_t>(masks.size()), 0});
  const WindowPlan plan = ChooseWindows(candidates);

  ASSERT_LE(plan.shapes.size(), kMaxTables);
  bool gapped = false;
  for (const WindowShape& shape : plan.shapes) {
    ASSERT_GE(shape.size, 1u);
    ASSERT_LE(shape.span(), kMaxShapeSpan);
    EXPECT_EQ(shape.offsets[0], 0);
    for (std::uint32_t i = 1; i < shape.size; ++i)
      EXPECT_LT(shape.offsets[i - 1], shape.offsets[i]);
    gapped = gapped || shape.span() > shape.size;
  }
  EXPECT_TRUE(gapped);
  for (std::size_t m = 0; m < motifs.size(); ++m) {
    const MotifWindow& window = plan.windows[m];
    ASSERT_NE(window.table, kNoTable) << "motif " << m << " is left to be walked";
    const WindowShape& shape = plan.shapes[window.table];
    ASSERT_LE(window.offset + shape.span(), motifs[m].size());
    std::uint64_t combinations = 1;
    for (std::uint32_t i = 0; i < shape.size; ++i) {
      combinations *= std::popcount(ClassMask(motifs[m][window.offset + shape.offsets[i]]));
    }
    EXPECT_LE(combinations, kMaxWindowCombinations);
    EXPECT_LE(window.probability, kMaxWindowProbability);
  }
}

}  // namespace
