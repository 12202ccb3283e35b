// SPDX-License-Identifier: MIT
// motif_index.h: the in-memory index of all motifs that lets one pass over a
// sequence's residues find the candidate placements of every motif at once.
//
// Each indexed motif has one window (window_choice.h): three or four of its
// positions, in one of a few shapes. Each shape has a table: code of the
// letter classes under the shape (classes 0 to 20 of residue_codes.h, radix
// 21, first position most significant) -> the motifs whose window admits them.
// A placement of motif m at start s can match only where the letters under
// m's shape at s + windowOffset(m) are in its window, so the windows that
// start at a residue name every candidate whose window starts there.
//
// A window is a filter, never a verdict: every candidate is verified in full.
// The index assumes that each residue is one letter (or no letter, which
// matches nothing); sequences with other residue masks are searched motif by
// motif instead. Under that assumption the indexed search's homing condition
// (the residue at the homing position is a homing letter) is one more letter
// set: the index keeps, per motif, its filter masks, the motif's masks with the
// homing position's mask restricted to the homing letters and every bit beyond
// the letters cleared, and chooses windows and verifies placements with those.
//
// A bitmap of the codes whose bucket holds any motif, small enough to stay in
// the cache, spares the pass the random read of most empty buckets; only the
// buckets that hold motifs are stored, numbered by the bits set before their
// code's, so that the buckets' places stay in the cache too. Each motif in a
// bucket carries the first tests of its candidate, so that most candidates are
// rejected without touching the motif: the motif's two most selective
// positions outside the window within kCheckReach of the window's start, as
// offsets from that start and the letters they allow. A bucket's motifs form
// runs that share their first test (offset, and letters as classes): the
// motifs of one pattern that differ in the length of a range share their
// windows and, mostly, their nearest positions, so one test rejects a whole
// run. The pass reads a run's test (8 bytes, RunTest of pass_kernels.h) and
// only for a run that passes its rest: its first motif with that motif's
// second test, then its other motifs (entries), each with its second test.
// Runs are ordered by their first motif and each run by motif.
//
// Motifs outside the tables:
// - residual motifs, with no window within the limits of window_choice.h: the
//   engine walks them motif by motif, as the reference does (a motif narrower
//   than kMaxWindow is seen as followed by x for its window: the residues after
//   its placement, or the padding after the sequence's end, always match);
// - motifs with a position that allows no letter: they match no residue, so
//   they never have a hit on a sequence the index serves;
// - anchored motifs: each has at most one placement per sequence, which the
//   engine checks directly (the anchored check of per_motif_walks.h).
//
// The index is built once after the motif database is mapped and is read-only
// afterwards, so any number of threads may share it. It points into the
// mapped motif database, which must outlive it.
#ifndef BRISEL_ENGINE_MOTIF_INDEX_H
#define BRISEL_ENGINE_MOTIF_INDEX_H

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "database/motif_database.h"
#include "engine/pass_kernels.h"
#include "engine/residue_codes.h"
#include "engine/window_choice.h"
#include "matching/per_motif_walks.h"
#include "residues/letter_masks.h"

namespace brisel {

// The number of codes of a table of each window size.
inline constexpr std::array<std::uint32_t, kMaxWindow + 1> kWindowCodes = {1, 21, 441, 9261,
                                                                           194481};
// The entries' checks lie at most this far from the window's start.
inline constexpr std::int32_t kCheckReach = 127;
static_assert(kCheckReach < static_cast<std::int32_t>(kCodePaddingBefore));
static_assert(kCheckReach + 64 + kMaxShapeSpan < kCodePaddingAfter);

enum class MotifRoute : std::uint8_t {
  kIndexed,   // found through its window
  kResidual,  // walked on its own
  kNever,     // a position allows no letter: no hit on a single-letter sequence
  kAnchored,  // checked at its one placement
};

struct IndexedMotif {
  MotifView view;                    // as stored, for the motif-by-motif walks
  const std::uint32_t* filterMasks;  // homing letters folded in (indexed search), letters only
  const std::uint32_t* windowMasks;  // the same, followed by x up to kMaxWindow positions
  std::uint32_t windowOffset;        // the motif position of its window's first position
  std::uint32_t table;               // its window's table (kNoTable when not indexed)
  MotifRoute route;
};

// One motif in one bucket, with its second test: a residue near the window,
// as an offset from the window's first position, and the letters allowed
// there.
struct IndexEntry {
  std::uint32_t motif;
  std::uint32_t checkMask;
  std::int8_t checkOffset;
};
static_assert(sizeof(IndexEntry) == 12);

// The motifs of a bucket that share their first test form a run. The pass
// reads 8 bytes per run, its RunTest: the run's first (lowest) motif in bits
// 0 to 31, the letter classes (residue_codes.h) allowed at the tested residue
// in bits 32 to 52, and that residue's offset from the window's first position
// in bits 56 to 63 (signed). A test of classes passes wherever one of the
// letters would, so it rejects no placement the letters would pass.
using RunTest = std::uint64_t;
constexpr RunTest MakeRunTest(std::uint32_t motif, std::uint32_t classes, std::int8_t offset) {
  return std::uint64_t{motif} | std::uint64_t{classes} << 32 |
         std::uint64_t{static_cast<std::uint8_t>(offset)} << 56;
}
constexpr std::uint32_t MotifOf(RunTest test) {
  return static_cast<std::uint32_t>(test);
}
constexpr std::uint32_t ClassesOf(RunTest test) {
  return static_cast<std::uint32_t>(test >> 32) & 0x1FFFFF;
}
constexpr std::int8_t OffsetOf(RunTest test) {
  return static_cast<std::int8_t>(test >> 56);
}

// The rest of a run: its first motif's second test, and its other motifs.
struct IndexRun {
  std::uint32_t motifMask;  // the first motif's second test: the letters allowed at motifOffset
  std::uint32_t entries;    // its other motifs' first entry (the last is before the next run's)
  std::int8_t motifOffset;  // from the window's first position
};

// Motifs whose width or offsets do not fit an entry are walked on their own.
inline constexpr std::uint32_t kMaxIndexedWidth = 0xFFFF;

class MotifIndex {
 public:
  // Builds the index of every motif of a mapped, checked motif database;
  // `homing` for the indexed search.
  MotifIndex(const MotifViews& motifs, bool homing);

  std::uint32_t motifCount() const { return static_cast<std::uint32_t>(motifs_.size()); }
  const IndexedMotif& motif(std::uint32_t m) const { return motifs_[m]; }

  std::uint32_t tableCount() const { return static_cast<std::uint32_t>(tables_.size()); }
  const WindowShape& Shape(std::uint32_t t) const { return tables_[t].shape; }
  // How the pass finds the buckets of table t (pass_kernels.h): a bitmap of
  // the codes whose bucket holds any motif, small enough to stay in the cache,
  // and the bits set before each word of it, which number the buckets.
  TableLookup Lookup(std::uint32_t t) const {
    const Table& table = tables_[t];
    return {table.terms, table.used.data(), table.ranks.data()};
  }
  // The most runs in one bucket of any table.
  std::uint32_t LargestBucketRuns() const { return largestBucketRuns_; }
  std::uint32_t BucketCount(std::uint32_t t) const {
    return static_cast<std::uint32_t>(tables_[t].bucketRuns.size() - 1);
  }
  // The runs of bucket b of table t are bucketRuns(t)[b] up to
  // bucketRuns(t)[b + 1]; run r's test is runTests(t)[r] and its rest runs(t)[r].
  // Its motifs after its first are entries(t) + runs(t)[r].entries up to
  // entries(t) + runs(t)[r + 1].entries (the last run of the table is followed
  // by one that only marks the end).
  const std::uint32_t* BucketRuns(std::uint32_t t) const { return tables_[t].bucketRuns.data(); }
  const RunTest* RunTests(std::uint32_t t) const { return tables_[t].runTests.data(); }
  const IndexRun* Runs(std::uint32_t t) const { return tables_[t].runs.data(); }
  const IndexEntry* Entries(std::uint32_t t) const { return tables_[t].entries.data(); }

  // The residual motifs, ascending.
  std::span<const std::uint32_t> residualMotifs() const { return residual_; }
  // The anchored motifs, ascending.
  std::span<const std::uint32_t> anchoredMotifs() const { return anchored_; }

  // The anchored motifs of an index for the indexed search, by where their
  // homing letter must stand: an anchored motif can hit only where its homing
  // position, fixed by the sequence's ends, holds one of its homing letters.
  // A group holds the motifs whose homing position is `distance` residues
  // after the sequence's first (tied to its start, or to both ends) or
  // `distance` residues before the end of the sequence (tied to its end:
  // position length - distance); the groups ascend by distance. So a
  // sequence of many short ones (the stretches of a translated search) checks
  // only the motifs of the letters it holds at those places, not every
  // anchored motif.
  struct AnchoredGroup {
    std::uint32_t distance = 0;
    bool fromEnd = false;
  };
  std::span<const AnchoredGroup> anchoredGroups() const { return anchoredGroups_; }
  // The motifs of group g whose homing letters include letter k, ascending.
  std::span<const std::uint32_t> AnchoredGroupMotifs(std::size_t g, std::uint32_t k) const {
    const std::size_t at = g * kLetterCount + k;
    return {anchoredGroupMotifs_.data() + anchoredGroupStarts_[at],
            anchoredGroupStarts_[at + 1] - anchoredGroupStarts_[at]};
  }

  // Bytes held by the tables and the motif records.
  std::uint64_t MemoryBytes() const;

 private:
  struct Table {
    WindowShape shape;
    CodeTerms terms;
    std::vector<std::uint32_t> used;        // a bit per code: its bucket holds any motif
    std::vector<std::uint32_t> ranks;       // per word of `used`: the bits set before it
    std::vector<std::uint32_t> bucketRuns;  // per bucket, then the end: its first run
    std::vector<RunTest> runTests;
    std::vector<IndexRun> runs;  // then one that marks the end
    std::vector<IndexEntry> entries;
  };

  // One motif's window in a table, with both its checks, before the buckets
  // are formed.
  struct Placed {
    std::uint32_t motif;
    std::uint32_t checkMasks[2];
    std::int8_t checkOffsets[2];
  };
  void BuildTable(Table& table, std::span<const Placed> placed);

  std::vector<std::uint32_t> filterMasks_;
  std::vector<std::uint32_t> paddedMasks_;  // motifs narrower than kMaxWindow, then x
  std::vector<IndexedMotif> motifs_;
  std::vector<Table> tables_;
  std::vector<std::uint32_t> residual_;
  std::vector<std::uint32_t> anchored_;
  std::vector<AnchoredGroup> anchoredGroups_;
  std::vector<std::uint32_t> anchoredGroupStarts_;  // per group and letter, then the end
  std::vector<std::uint32_t> anchoredGroupMotifs_;
  std::uint32_t largestBucketRuns_ = 0;
};

}  // namespace brisel

#endif  // BRISEL_ENGINE_MOTIF_INDEX_H
