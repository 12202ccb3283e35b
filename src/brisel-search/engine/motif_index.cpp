// SPDX-License-Identifier: MIT
// motif_index.cpp: window choice and the q-gram tables.
#include "engine/motif_index.h"

#include <algorithm>
#include <bit>

#include "database/motif_database.h"
#include "engine/motif_matching.h"
#include "statistics/letter_probabilities.h"

namespace {

// Letters without a background frequency (B, J, O, U, X, Z) still occur; a
// window of them is not free.
constexpr double kRareLetterFrequency = 0.001;

struct Window {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
  double probability = 2.0;  // above any real window: none found yet
};

class WindowChooser {
 public:
  WindowChooser() : letterFrequency_(BackgroundLetterFrequencies()) {
    for (double& f : letterFrequency_)
      f = f > kRareLetterFrequency ? f : kRareLetterFrequency;
  }

  double Probability(std::uint32_t mask) const { return MaskProbability(mask, letterFrequency_); }

  // The window of the lowest random-match probability among those of at most
  // kMaxWindowCombinations combinations, the earliest on ties. Windows are
  // kMaxWindow long, or the whole motif when it is shorter: every residue then
  // costs one look-up in the big table, and one in each small table in use.
  Window Choose(const std::uint32_t* masks, std::uint32_t width) const {
    Window best;
    const std::uint32_t q = width < kMaxWindow ? width : kMaxWindow;
    for (std::uint32_t offset = 0; offset + q <= width; ++offset) {
      std::uint64_t combinations = 1;
      double probability = 1.0;
      for (std::uint32_t j = offset; j < offset + q; ++j) {
        combinations *= static_cast<std::uint64_t>(std::popcount(masks[j] & kAllLettersMask));
        probability *= Probability(masks[j]);
      }
      if (combinations > kMaxWindowCombinations) continue;
      if (probability < best.probability) best = {offset, q, probability};
    }
    return best;
  }

 private:
  LetterFrequencies letterFrequency_;
};

// Calls visit(code) for every q-gram that the window admits.
template <typename Visit>
void ForEachWindowCode(const std::uint32_t* window, std::uint32_t length, std::uint32_t code,
                       Visit& visit) {
  if (length == 0) {
    visit(code);
    return;
  }
  for (std::uint32_t mask = window[0] & kAllLettersMask; mask != 0; mask &= mask - 1) {
    ForEachWindowCode(window + 1, length - 1,
                      code * kLetterCount + static_cast<std::uint32_t>(std::countr_zero(mask)),
                      visit);
  }
}

bool AllowsNoLetterSomewhere(const std::uint32_t* masks, std::uint32_t width) {
  for (std::uint32_t j = 0; j < width; ++j) {
    if ((masks[j] & kAllLettersMask) == 0) return true;
  }
  return false;
}

// The rarest position outside the window, then the next rarest (the window's
// own positions when nothing else is left).
CheckOrder ChecksOutsideWindow(const WindowChooser& chooser, const std::uint32_t* masks,
                               std::uint32_t width, std::uint32_t offset, std::uint32_t length) {
  return TwoRarestPositions(
      masks, width, [&](std::uint32_t mask) { return chooser.Probability(mask); },
      [&](std::uint32_t j) { return j < offset || j >= offset + length; }, offset);
}

}  // namespace

MotifIndex::MotifIndex(const motifMappedMemoryCDT& motifs, bool homing) {
  const std::vector<CheckOrder> orders = MotifCheckOrders(motifs, homing);
  const WindowChooser chooser;
  const std::uint32_t motifCount = MotifCountOf(motifs);
  filterMasks_.assign(motifs.bitMotifs, motifs.bitMotifs + motifs.counts[kMotifBitsCount]);
  motifs_.reserve(motifCount);
  std::vector<CheckOrder> checks(motifCount);
  for (std::uint32_t m = 0; m < motifCount; ++m) {
    const std::uint32_t width = MotifWidth(motifs, m);
    std::uint32_t* filter = filterMasks_.data() + motifs.bitIndices[m];
    if (homing) filter[motifs.offsets[m]] &= motifs.homingBitLetters[m];
    IndexedMotif motif{{motifs.bitMotifs + motifs.bitIndices[m], width, motifs.homingBitLetters[m],
                        motifs.offsets[m], orders[m], MotifAnchorOf(motifs, m)},
                       filter,
                       0,
                       0,
                       MotifRoute::kIndexed};
    if (motif.view.anchor != kUnanchored) {
      motif.route = MotifRoute::kAnchored;
      anchored_.push_back(m);
      motifs_.push_back(motif);
      continue;
    }
    const Window window = chooser.Choose(filter, width);
    if (AllowsNoLetterSomewhere(filter, width)) {
      motif.route = MotifRoute::kNever;
    } else if (window.length == 0 || window.probability > kMaxWindowProbability ||
               width > kMaxIndexedWidth) {
      motif.route = MotifRoute::kResidual;
    } else {
      motif.windowOffset = window.offset;
      motif.windowLength = window.length;
      checks[m] = ChecksOutsideWindow(chooser, filter, width, window.offset, window.length);
    }
    motifs_.push_back(motif);
  }
  // A table costs a look-up at every residue of every sequence; a narrow one
  // that few motifs use costs more than walking those motifs on their own.
  std::uint32_t perTable[kMaxWindow + 1] = {};
  for (const IndexedMotif& motif : motifs_) {
    if (motif.route == MotifRoute::kIndexed) ++perTable[motif.windowLength];
  }
  for (std::uint32_t m = 0; m < motifs_.size(); ++m) {
    IndexedMotif& motif = motifs_[m];
    if (motif.route == MotifRoute::kIndexed && motif.windowLength < kMaxWindow &&
        perTable[motif.windowLength] < kMinMotifsPerNarrowTable) {
      motif.route = MotifRoute::kResidual;
    }
    if (motif.route == MotifRoute::kResidual) residual_.push_back(m);
  }

  // Two passes over the windows: count each bucket's motifs, then place them;
  // motifs are entered in database order, so every bucket ascends.
  for (std::uint32_t q = 1; q <= kMaxWindow; ++q) {
    Table& table = tables_[q];
    std::vector<std::uint32_t> counts;
    for (int pass = 0; pass < 2; ++pass) {
      for (std::uint32_t m = 0; m < motifs_.size(); ++m) {
        const IndexedMotif& motif = motifs_[m];
        if (motif.route != MotifRoute::kIndexed || motif.windowLength != q) continue;
        if (counts.empty()) counts.assign(kQGramCodes[q] + 1, 0);
        const CheckOrder check = checks[m];
        const IndexEntry entry{
            m,
            {motif.filterMasks[check.first], motif.filterMasks[check.second]},
            {static_cast<std::uint16_t>(check.first), static_cast<std::uint16_t>(check.second)},
            static_cast<std::uint16_t>(motif.windowOffset),
            static_cast<std::uint16_t>(motif.view.width)};
        auto enter = [&](std::uint32_t code) {
          if (pass == 0) {
            ++counts[code + 1];
          } else {
            table.entries[counts[code]++] = entry;
          }
        };
        ForEachWindowCode(motif.filterMasks + motif.windowOffset, q, 0, enter);
      }
      if (counts.empty()) break;
      if (pass == 0) {
        for (std::uint32_t code = 0; code < kQGramCodes[q]; ++code)
          counts[code + 1] += counts[code];
        table.bucketStarts = HugePageArray<std::uint32_t>(counts.size());
        table.used.assign(kQGramCodes[q] / 64 + 1, 0);
        for (std::size_t code = 0; code < counts.size(); ++code) {
          table.bucketStarts[code] = counts[code];
          if (code + 1 < counts.size() && counts[code + 1] != counts[code]) {
            table.used[code / 64] |= std::uint64_t{1} << (code % 64);
          }
        }
        table.entries = HugePageArray<IndexEntry>(counts.back());
      }
    }
  }
}

std::uint64_t MotifIndex::MemoryBytes() const {
  std::uint64_t bytes = motifs_.capacity() * sizeof(IndexedMotif) + residual_.capacity() * 4 +
                        anchored_.capacity() * 4 + filterMasks_.capacity() * 4;
  for (const Table& table : tables_) {
    bytes +=
        table.bucketStarts.MemoryBytes() + table.entries.MemoryBytes() + table.used.capacity() * 8;
  }
  return bytes;
}
