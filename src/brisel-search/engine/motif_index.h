// SPDX-License-Identifier: MIT
// motif_index.h: the in-memory index of all motifs that lets one pass over a
// sequence's residues find the candidate placements of every motif at once.
//
// Each motif gets one window: q consecutive positions (q = 4, or the motif's
// width when it is narrower) whose letter sets are small enough to enumerate
// (at most kMaxWindowCombinations letter combinations) and whose chance of
// matching a random q-gram is the lowest. Every letter combination of the window is entered into
// the table of its q: code of the q-gram (letters 'A' to 'Z' as 0 to 25, base 26, first letter most
// significant) -> the motifs, in ascending database order, whose window admits it. A placement of
// motif m at start s can match only where the q-gram at s + windowOffset(m) is in m's window, so a
// sequence position's q-grams name every candidate whose window starts there.
//
// A window is a filter, never a verdict: every candidate is verified in full.
// The index assumes that each residue is one letter (or no letter, which
// matches nothing); sequences with other residue masks are searched motif by
// motif instead. Under that assumption the indexed search's homing condition
// (the residue at the homing position is a homing letter) is one more letter
// set: the index keeps, per motif, its filter masks, the motif's masks with the
// homing position's mask restricted to the homing letters, and chooses windows
// and verifies placements with those.
//
// A bitmap of the buckets that hold any motif, small enough to stay in the
// cache, spares the pass the random read of most empty buckets. Each entry
// carries what the first tests of a candidate need, so
// that most candidates are rejected without touching the motif: the
// placement's offset from the window, the motif's width, and its two most
// selective positions outside the window with their letters.
//
// Motifs outside the tables:
// - residual motifs, whose best window still matches more than
//   kMaxWindowProbability of random q-grams (mostly `x` and wide groups), or
//   narrow motifs too few to pay for a table of their own: the engine walks
//   them motif by motif, as the reference does;
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

#include "brisel.h"
#include "engine/huge_page_array.h"
#include "reference/per_motif_walks.h"

// The longest window, and the number of q-gram codes of each q.
inline constexpr std::uint32_t kMaxWindow = 4;
inline constexpr std::array<std::uint32_t, kMaxWindow + 1> kQGramCodes = {1, 26, 676, 17576,
                                                                          456976};

// Pass thresholds of the window choice, set by measurement (bench/README.md).
// A window is enumerated only up to this many letter combinations...
inline constexpr std::uint64_t kMaxWindowCombinations = 4096;
// ...and a motif whose best window matches a larger share of random q-grams is
// walked motif by motif.
inline constexpr double kMaxWindowProbability = 0.05;
// Motifs narrower than kMaxWindow get a table of their width only when at
// least this many share it; fewer are walked motif by motif.
inline constexpr std::uint32_t kMinMotifsPerNarrowTable = 16;

enum class MotifRoute : std::uint8_t {
  kIndexed,   // found through its window
  kResidual,  // walked on its own
  kNever,     // a position allows no letter: no hit on a single-letter sequence
  kAnchored,  // checked at its one placement
};

struct IndexedMotif {
  MotifView view;                    // as stored, for the motif-by-motif walks
  const std::uint32_t* filterMasks;  // homing letters folded in (indexed search)
  std::uint32_t windowOffset;
  std::uint32_t windowLength;
  MotifRoute route;
};

// One motif in one bucket, with the two positions outside the window that
// are tested first (the most selective ones).
struct IndexEntry {
  std::uint32_t motif;
  std::uint32_t checkMasks[2];    // the letters allowed at checkOffsets
  std::uint16_t checkOffsets[2];  // offsets in the motif
  std::uint16_t windowOffset;     // the window's offset in the motif
  std::uint16_t width;
};

// Motifs whose width or offsets do not fit an entry are walked on their own.
inline constexpr std::uint32_t kMaxIndexedWidth = 0xFFFF;

class MotifIndex {
 public:
  // Builds the index of every motif of a mapped, checked motif database;
  // `homing` for the indexed search.
  MotifIndex(const motifMappedMemoryCDT& motifs, bool homing);

  std::uint32_t motifCount() const { return static_cast<std::uint32_t>(motifs_.size()); }
  const IndexedMotif& motif(std::uint32_t m) const { return motifs_[m]; }

  // A bit per bucket of table q, set when the bucket holds any motif; small
  // enough to stay in the cache.
  const std::uint64_t* UsedBitmap(std::uint32_t q) const { return tables_[q].used.data(); }
  // The motifs of table q whose window admits the q-gram `code`, ascending.
  std::span<const IndexEntry> Bucket(std::uint32_t q, std::uint32_t code) const {
    const Table& table = tables_[q];
    return {table.entries.data() + table.bucketStarts[code],
            table.entries.data() + table.bucketStarts[code + 1]};
  }
  // Whether table q has any entry.
  bool HasTable(std::uint32_t q) const { return !tables_[q].entries.empty(); }
  // Where the bucket of `code` in table q starts, for prefetching.
  const std::uint32_t* BucketStartAddress(std::uint32_t q, std::uint32_t code) const {
    return tables_[q].bucketStarts.data() + code;
  }
  const IndexEntry* EntryAddress(std::uint32_t q, std::uint32_t at) const {
    return tables_[q].entries.data() + at;
  }
  // The residual motifs, ascending.
  std::span<const std::uint32_t> residualMotifs() const { return residual_; }
  // The anchored motifs, ascending.
  std::span<const std::uint32_t> anchoredMotifs() const { return anchored_; }

  // Bytes held by the tables and the motif records.
  std::uint64_t MemoryBytes() const;

 private:
  struct Table {
    HugePageArray<std::uint32_t> bucketStarts;  // kQGramCodes[q] + 1 starts, or none
    std::vector<std::uint64_t> used;            // a bit per bucket: not empty
    HugePageArray<IndexEntry> entries;
  };

  std::vector<std::uint32_t> filterMasks_;
  std::vector<IndexedMotif> motifs_;
  std::array<Table, kMaxWindow + 1> tables_;
  std::vector<std::uint32_t> residual_;
  std::vector<std::uint32_t> anchored_;
};

#endif  // BRISEL_ENGINE_MOTIF_INDEX_H
