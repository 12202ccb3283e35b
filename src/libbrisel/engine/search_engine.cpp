// SPDX-License-Identifier: MIT
// search_engine.cpp: one sequence through the engine.
#include "engine/search_engine.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "database/motif_database.h"
#include "matching/per_motif_walks.h"
#include "report/report_collector.h"
#include "residues/letter_masks.h"

namespace brisel {

SearchEngine::SearchEngine(const MotifViews& motifs, double cutoffExpectation, SearchKind kind,
                           const HitLineFormatter& rows, KernelLevel kernels)
    : index_(motifs, kind == SearchKind::kIndexed),
      kernels_(KernelsOf(kernels)),
      memo_(motifs, cutoffExpectation),
      lines_(rows) {}

LengthStatistics& SearchEngine::Worker::StatisticsFor(std::uint64_t length) {
  // A thread's own cache of recent lengths spares it the memo's lock.
  std::shared_ptr<LengthStatistics>& cached = recentLengths_[length % recentLengths_.size()];
  if (cached == nullptr || cached->length() != length) cached = engine_.memo_.ForLength(length);
  return *cached;
}

void SearchEngine::Worker::SearchDatabaseSequence(const SequenceViews& sequences, std::uint32_t n,
                                                  std::uint64_t number, std::string& out) {
  const std::uint32_t begin = sequences.sequenceIndices[n];
  const std::uint64_t length = sequences.sequenceIndices[n + 1] - begin;
  const std::uint32_t name = sequences.nameIndices[n];
  SearchListedSequence(
      number, {sequences.names + name, sequences.nameIndices[n + 1] - name},
      {length, sequences.bitSequences + begin,
       sequences.offsetIndices + std::uint64_t{kLetterCount} * n, sequences.offsets},
      {sequences.textSequences + begin, length}, out);
}

void SearchEngine::Worker::SearchListedSequence(std::uint64_t number, std::string_view name,
                                                const ListedSequence& listed, std::string_view text,
                                                std::string& out) {
  ++counters_.sequences;
  const std::uint64_t length = listed.length;
  LengthStatistics& statistics = StatisticsFor(length);
  const std::uint32_t stop = statistics.stop();
  if (stop == 0 || length == 0) return ReportNoHits();

  const MotifIndex& index = engine_.index_;
  hits_.clear();
  const auto walk = [&](std::uint32_t m) {
    const MotifView& motif = index.motif(m).view;
    if (motif.width > length) return;
    ++counters_.residualWalks;
    WalkHomingLetterLists(motif, listed, [&](std::uint64_t start, std::uint32_t letter) {
      ++counters_.residualHits;
      hits_.push_back({m, letter, start});
    });
  };

  if (!codes_.FromListedSequence(listed, engine_.kernels_.residues)) {
    // Motif by motif, in the reference's own order.
    ++counters_.fallbackSequences;
    for (std::uint32_t m = 0; m < stop; ++m) {
      if (index.motif(m).route == MotifRoute::kAnchored) {
        CheckAnchored(m, listed.residues, length, true);
      } else {
        walk(m);
      }
    }
  } else {
    FindIndexedHits(index,
                    {engine_.kernels_.gather, codes_.codes(), codes_.classes(), length, stop, true},
                    windows_, hits_, counters_);
    for (const std::uint32_t m : index.residualMotifs()) {
      if (m >= stop) break;
      walk(m);
    }
    // Each anchored motif whose homing letter stands at its homing position
    // (the residues are single letters or none here).
    const std::span<const MotifIndex::AnchoredGroup> groups = index.anchoredGroups();
    for (std::size_t g = 0; g < groups.size() && groups[g].distance <= length; ++g) {
      const MotifIndex::AnchoredGroup group = groups[g];
      if (!group.fromEnd && group.distance == length) continue;
      const std::uint32_t letter =
          listed.residues[group.fromEnd ? length - group.distance : group.distance] &
          kAllLettersMask;
      if (letter == 0) continue;
      for (const std::uint32_t m :
           index.AnchoredGroupMotifs(g, static_cast<std::uint32_t>(std::countr_zero(letter)))) {
        if (m >= stop) break;
        CheckAnchored(m, listed.residues, length, true);
      }
    }
    std::sort(hits_.begin(), hits_.end());
  }
  if (hits_.empty()) return ReportNoHits();

  WriteHits(out, statistics, number, name, NameKind::kDatabase, text);
}

void SearchEngine::Worker::SearchText(std::uint64_t number, std::string_view name, NameKind kind,
                                      std::string_view text, std::string& out) {
  ++counters_.sequences;
  text = text.substr(0, ::strnlen(text.data(), text.size()));
  const std::uint64_t length = text.size();
  LengthStatistics& statistics = StatisticsFor(length);
  const std::uint32_t stop = statistics.stop();
  if (stop == 0 || length == 0) return ReportNoHits();

  codes_.FromText(text, masks_);
  const MotifIndex& index = engine_.index_;
  hits_.clear();
  FindIndexedHits(index,
                  {engine_.kernels_.gather, codes_.codes(), codes_.classes(), length, stop, false},
                  windows_, hits_, counters_);
  bool bitmapsBuilt = false;
  for (const std::uint32_t m : index.residualMotifs()) {
    if (m >= stop) break;
    const MotifView& motif = index.motif(m).view;
    if (motif.width > length) continue;
    if (!bitmapsBuilt) {
      bitmaps_.Build(masks_.data(), length);
      bitmapsBuilt = true;
    }
    ++counters_.residualWalks;
    WalkStartsByBitmaps(motif, masks_.data(), length, bitmaps_,
                        [&](std::uint64_t start, std::uint32_t) {
                          ++counters_.residualHits;
                          hits_.push_back({m, 0, start});
                        });
  }
  for (const std::uint32_t m : index.anchoredMotifs()) {
    if (m >= stop) break;
    CheckAnchored(m, masks_.data(), length, false);
  }
  if (hits_.empty()) return ReportNoHits();
  std::sort(hits_.begin(), hits_.end());
  WriteHits(out, statistics, number, name, kind, text);
}

void SearchEngine::Worker::CheckAnchored(std::uint32_t m, const std::uint32_t* residues,
                                         std::uint64_t length, bool homing) {
  ++counters_.anchoredChecks;
  CheckAnchoredPlacement(engine_.index_.motif(m).view, residues, length, homing,
                         [&](std::uint64_t start, std::uint32_t letter) {
                           ++counters_.anchoredHits;
                           hits_.push_back({m, letter, start});
                         });
}

void SearchEngine::Worker::WriteHits(std::string& out, LengthStatistics& statistics,
                                     std::uint64_t number, std::string_view name, NameKind kind,
                                     std::string_view text) {
  engine_.lines_.BeginSequence(out, lineState_, number, name, kind);
  if (report_ == nullptr) return WriteHitLines<false>(out, statistics, text);
  report_->BeginSequence(number, PlainName(name, kind), text.size());
  WriteHitLines<true>(out, statistics, text);
  report_->EndSequence();
}

template <bool kReport>
void SearchEngine::Worker::WriteHitLines(std::string& out, LengthStatistics& statistics,
                                         std::string_view text) {
  LengthStatistics::Cursor cursor(statistics);
  for (const EngineHit& hit : hits_) {
    const HitStatistics& at = cursor.At(hit.motif);
    const std::uint32_t width = engine_.index_.motif(hit.motif).view.width;
    const std::string_view segment = text.substr(hit.start, width);
    engine_.lines_.AppendHitLine(out, lineState_, at, hit.motif, segment, hit.start);
    if constexpr (kReport) {
      report_->AddHit({hit.motif, hit.start + 1, hit.start + width, at.expectation,
                       at.probabilityOfNoRandomHit, UntilNul(segment), 0});
    }
    if (spill_ != nullptr && out.size() >= spillBytes_) spill_->Spill(out);
  }
}

void SearchEngine::Worker::ReportNoHits() {
  if (report_ != nullptr) report_->AddSequencesWithoutHits(1);
}

}  // namespace brisel
