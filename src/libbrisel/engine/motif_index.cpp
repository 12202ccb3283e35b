// SPDX-License-Identifier: MIT
// motif_index.cpp: routes, checks and the tables of the windows.
#include "engine/motif_index.h"

#include <algorithm>
#include <bit>

#include "database/motif_database.h"
#include "matching/motif_matching.h"
#include "residues/letter_masks.h"

namespace brisel {

namespace {

// Calls visit(code) for every code of letter classes that the window's
// positions (masks[offsets[0]], masks[offsets[1]], ...) admit.
template <typename Visit>
void ForEachWindowCode(const std::uint32_t* masks, const std::uint8_t* offsets, std::uint32_t size,
                       std::uint32_t code, Visit& visit) {
  if (size == 0) {
    visit(code);
    return;
  }
  for (std::uint32_t mask = ClassMask(masks[offsets[0]]); mask != 0; mask &= mask - 1) {
    ForEachWindowCode(masks, offsets + 1, size - 1,
                      code * kClassRadix + static_cast<std::uint32_t>(std::countr_zero(mask)),
                      visit);
  }
}

bool AllowsNoLetterSomewhere(const std::uint32_t* masks, std::uint32_t width) {
  for (std::uint32_t j = 0; j < width; ++j) {
    if ((masks[j] & kAllLettersMask) == 0) return true;
  }
  return false;
}

// The rarest position outside the window and within reach of its start, then
// the next rarest (a window position, which passes by construction, when
// nothing else is left).
CheckOrder ChecksNearWindow(const LetterOdds& odds, const std::uint32_t* masks, std::uint32_t width,
                            std::uint32_t windowOffset, const WindowShape& shape) {
  std::uint64_t inWindow = 0;  // window positions, as offsets from its start
  for (std::uint32_t i = 0; i < shape.size; ++i)
    inWindow |= std::uint64_t{1} << shape.offsets[i];
  return TwoRarestPositions(
      masks, width, [&](std::uint32_t mask) { return odds.Probability(mask); },
      [&](std::uint32_t j) {
        const std::int64_t offset = std::int64_t{j} - windowOffset;
        if (offset < -kCheckReach || offset > kCheckReach) return false;
        return offset < 0 || offset >= 64 || (inWindow >> offset & 1) == 0;
      },
      windowOffset);
}

}  // namespace

MotifIndex::MotifIndex(const MotifViews& motifs, bool homing) {
  const std::vector<CheckOrder> orders = MotifCheckOrders(motifs, homing);
  const LetterOdds odds;
  const std::uint32_t motifCount = MotifCountOf(motifs);
  filterMasks_.assign(motifs.bitMotifs, motifs.bitMotifs + motifs.counts[kMotifBitsCount]);
  std::uint64_t narrow = 0;
  for (std::uint32_t m = 0; m < motifCount; ++m)
    narrow += MotifWidth(motifs, m) < kMaxWindow;
  paddedMasks_.reserve(narrow * kMaxWindow);  // stays in place: motifs point into it
  motifs_.reserve(motifCount);
  std::vector<WindowCandidate> candidates(motifCount);
  for (std::uint32_t m = 0; m < motifCount; ++m) {
    const std::uint32_t width = MotifWidth(motifs, m);
    std::uint32_t* filter = filterMasks_.data() + motifs.bitIndices[m];
    if (homing) filter[motifs.offsets[m]] &= motifs.homingBitLetters[m];
    for (std::uint32_t j = 0; j < width; ++j)
      filter[j] &= kAllLettersMask;
    const std::uint32_t* windowMasks = filter;
    if (width < kMaxWindow) {
      const std::size_t at = paddedMasks_.size();
      paddedMasks_.insert(paddedMasks_.end(), filter, filter + width);
      paddedMasks_.resize(at + kMaxWindow, kAllLettersMask);
      windowMasks = paddedMasks_.data() + at;
    }
    IndexedMotif motif{{motifs.bitMotifs + motifs.bitIndices[m], width, motifs.homingBitLetters[m],
                        motifs.offsets[m], orders[m], MotifAnchorOf(motifs, m)},
                       filter,
                       windowMasks,
                       0,
                       kNoTable,
                       MotifRoute::kResidual};
    if (motif.view.anchor != kUnanchored) {
      motif.route = MotifRoute::kAnchored;
      anchored_.push_back(m);
    } else if (AllowsNoLetterSomewhere(filter, width)) {
      motif.route = MotifRoute::kNever;
    } else if (width <= kMaxIndexedWidth) {
      candidates[m] = {windowMasks, std::max(width, kMaxWindow),
                       homing ? motif.view.homingOffset : orders[m].first};
    }
    motifs_.push_back(motif);
  }

  const WindowPlan plan = ChooseWindows(candidates);
  std::vector<std::vector<Placed>> placed(plan.shapes.size());
  for (std::uint32_t m = 0; m < motifCount; ++m) {
    IndexedMotif& motif = motifs_[m];
    if (candidates[m].masks == nullptr) continue;
    const MotifWindow& window = plan.windows[m];
    if (window.table == kNoTable) {
      residual_.push_back(m);
      continue;
    }
    motif.route = MotifRoute::kIndexed;
    motif.table = window.table;
    motif.windowOffset = window.offset;
    const CheckOrder check = ChecksNearWindow(odds, motif.filterMasks, motif.view.width,
                                              window.offset, plan.shapes[window.table]);
    const auto offsetOf = [&](std::uint32_t j) {
      return static_cast<std::int8_t>(std::int64_t{j} - window.offset);
    };
    placed[window.table].push_back(
        {m,
         {motif.filterMasks[check.first], motif.filterMasks[check.second]},
         {offsetOf(check.first), offsetOf(check.second)}});
  }

  tables_.resize(plan.shapes.size());
  for (std::uint32_t t = 0; t < tables_.size(); ++t) {
    tables_[t].shape = plan.shapes[t];
    tables_[t].terms = TermsOf(plan.shapes[t]);
    BuildTable(tables_[t], placed[t]);
  }

  if (!homing) return;
  // (distance, from the end, letter, motif), sorted: the groups' lists.
  std::vector<std::array<std::uint32_t, 4>> homed;
  for (const std::uint32_t m : anchored_) {
    const MotifView& view = motifs_[m].view;
    const std::uint32_t fromEnd = view.anchor == kAnchoredAtEnd ? 1 : 0;
    const std::uint32_t distance =
        fromEnd != 0 ? view.width - view.homingOffset : view.homingOffset;
    for (std::uint32_t letters = view.homingMask & kAllLettersMask; letters != 0;
         letters &= letters - 1) {
      homed.push_back(
          {distance, fromEnd, static_cast<std::uint32_t>(std::countr_zero(letters)), m});
    }
  }
  std::sort(homed.begin(), homed.end());
  for (std::size_t i = 0; i < homed.size();) {
    anchoredGroups_.push_back({homed[i][0], homed[i][1] != 0});
    for (std::uint32_t k = 0; k < kLetterCount; ++k) {
      anchoredGroupStarts_.push_back(static_cast<std::uint32_t>(anchoredGroupMotifs_.size()));
      for (; i < homed.size() && homed[i][0] == anchoredGroups_.back().distance &&
             homed[i][1] == anchoredGroups_.back().fromEnd && homed[i][2] == k;
           ++i) {
        anchoredGroupMotifs_.push_back(homed[i][3]);
      }
    }
  }
  anchoredGroupStarts_.push_back(static_cast<std::uint32_t>(anchoredGroupMotifs_.size()));
}

void MotifIndex::BuildTable(Table& table, std::span<const Placed> placed) {
  // Each motif's window codes, then the buckets of the codes that have any,
  // in code order; within a bucket the motifs ascend (they are entered in
  // database order, and the sort is stable).
  const WindowShape& shape = table.shape;
  const std::uint32_t codes = kWindowCodes[shape.size];
  struct Coded {
    std::uint32_t code;
    std::uint32_t placed;
  };
  std::vector<Coded> coded;
  for (std::uint32_t i = 0; i < placed.size(); ++i) {
    const IndexedMotif& motif = motifs_[placed[i].motif];
    auto enter = [&](std::uint32_t code) { coded.push_back({code, i}); };
    ForEachWindowCode(motif.windowMasks + motif.windowOffset, shape.offsets.data(), shape.size, 0,
                      enter);
  }
  std::stable_sort(coded.begin(), coded.end(),
                   [](const Coded& a, const Coded& b) { return a.code < b.code; });

  table.used.assign(codes / 32 + 1, 0);
  table.ranks.assign(codes / 32 + 1, 0);
  table.bucketRuns.clear();
  table.runs.clear();
  table.entries.clear();
  table.entries.reserve(coded.size());
  std::uint32_t buckets = 0;
  std::uint32_t word = 0;  // ranks are filled up to this word
  std::vector<Placed> bucket;
  const auto firstCheck = [](const Placed& p) {
    return std::uint64_t{static_cast<std::uint8_t>(p.checkOffsets[0])} << 32 |
           ClassMask(p.checkMasks[0]);
  };
  for (std::size_t at = 0; at < coded.size();) {
    const std::uint32_t code = coded[at].code;
    bucket.clear();
    for (; at < coded.size() && coded[at].code == code; ++at)
      bucket.push_back(placed[coded[at].placed]);
    for (; word <= code / 32; ++word)
      table.ranks[word] = buckets;
    table.used[code / 32] |= std::uint32_t{1} << (code % 32);
    ++buckets;
    table.bucketRuns.push_back(static_cast<std::uint32_t>(table.runs.size()));

    // The runs: motifs that share their first check, by their first motif.
    std::stable_sort(bucket.begin(), bucket.end(), [&](const Placed& a, const Placed& b) {
      return firstCheck(a) < firstCheck(b);
    });
    std::vector<std::size_t> starts;  // where each run starts in `bucket`
    for (std::size_t i = 0; i < bucket.size(); ++i) {
      if (i == 0 || firstCheck(bucket[i]) != firstCheck(bucket[i - 1])) starts.push_back(i);
    }
    std::stable_sort(starts.begin(), starts.end(), [&](std::size_t a, std::size_t b) {
      return bucket[a].motif < bucket[b].motif;
    });
    largestBucketRuns_ = std::max(largestBucketRuns_, static_cast<std::uint32_t>(starts.size()));
    for (const std::size_t start : starts) {
      const Placed& first = bucket[start];
      table.runTests.push_back(
          MakeRunTest(first.motif, ClassMask(first.checkMasks[0]), first.checkOffsets[0]));
      table.runs.push_back({first.checkMasks[1], static_cast<std::uint32_t>(table.entries.size()),
                            first.checkOffsets[1]});
      for (std::size_t i = start + 1;
           i < bucket.size() && firstCheck(bucket[i]) == firstCheck(bucket[start]); ++i) {
        table.entries.push_back(
            {bucket[i].motif, bucket[i].checkMasks[1], bucket[i].checkOffsets[1]});
      }
    }
  }
  for (; word < table.ranks.size(); ++word)
    table.ranks[word] = buckets;
  table.bucketRuns.push_back(static_cast<std::uint32_t>(table.runs.size()));
  table.runs.push_back({0, static_cast<std::uint32_t>(table.entries.size()), 0});
  table.runTests.push_back(MakeRunTest(0, 0, 0));  // passes nowhere
}

std::uint64_t MotifIndex::MemoryBytes() const {
  std::uint64_t bytes = motifs_.capacity() * sizeof(IndexedMotif) + residual_.capacity() * 4 +
                        anchored_.capacity() * 4 +
                        (filterMasks_.capacity() + paddedMasks_.capacity()) * 4;
  for (const Table& table : tables_) {
    bytes += table.entries.capacity() * sizeof(IndexEntry) +
             table.runs.capacity() * sizeof(IndexRun) + table.runTests.capacity() * 8 +
             (table.used.capacity() + table.ranks.capacity() + table.bucketRuns.capacity()) * 4;
  }
  bytes += anchoredGroups_.capacity() * sizeof(AnchoredGroup) +
           (anchoredGroupStarts_.capacity() + anchoredGroupMotifs_.capacity()) * 4;
  return bytes;
}

}  // namespace brisel
