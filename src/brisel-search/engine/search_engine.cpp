// SPDX-License-Identifier: MIT
// search_engine.cpp: one sequence through the engine.
#include "engine/search_engine.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "database/motif_database.h"
#include "reference/per_motif_walks.h"

namespace {

// Letter codes of text characters: 'A' to 'Z' and 'a' to 'z' as 0 to 25,
// everything else kNoLetter (its mask is 0).
struct TextCodes {
  std::uint8_t code[256];
  constexpr TextCodes() : code() {
    for (int c = 0; c < 256; ++c) {
      code[c] = kNoLetter;
      if (c >= 'A' && c <= 'Z') code[c] = static_cast<std::uint8_t>(c - 'A');
      if (c >= 'a' && c <= 'z') code[c] = static_cast<std::uint8_t>(c - 'a');
    }
  }
};
constexpr TextCodes kTextCodes;

}  // namespace

SearchEngine::SearchEngine(const motifMappedMemoryCDT& motifs, double cutoffExpectation,
                           SearchKind kind, const HitLineFormatter& rows)
    : index_(motifs, kind == SearchKind::kIndexed),
      memo_(motifs, cutoffExpectation),
      lines_(rows) {}

LengthStatistics& SearchEngine::Worker::StatisticsFor(std::uint64_t length) {
  // A thread's own cache of recent lengths spares it the memo's lock.
  std::shared_ptr<LengthStatistics>& cached = recentLengths_[length % recentLengths_.size()];
  if (cached == nullptr || cached->length() != length) cached = engine_.memo_.ForLength(length);
  return *cached;
}

bool SearchEngine::Worker::PrepareListedSequence(const ListedSequence& sequence) {
  // The residues: each mask must be one letter's bit or 0; their letter codes.
  const std::uint64_t length = sequence.length;
  codes_.resize(length);
  std::uint32_t odd = 0;
  std::uint64_t letters = 0;
  const std::uint32_t* const residues = sequence.residues;
  std::uint8_t* const codes = codes_.data();
  for (std::uint64_t p = 0; p < length; ++p) {
    const std::uint32_t mask = residues[p];
    odd |= (mask & (mask - 1)) | (mask >> kLetterCount);
    // A single bit below 2^26 converts exactly to a float whose exponent is
    // the bit's index: a form of countr_zero that the vectoriser takes.
    const std::uint32_t exponent =
        std::bit_cast<std::uint32_t>(static_cast<float>(static_cast<std::int32_t>(mask))) >> 23;
    const std::uint32_t none = mask == 0 ? 1u : 0u;
    codes[p] = static_cast<std::uint8_t>(none * kNoLetter + (1u - none) * (exponent - 127));
    letters += 1u - none;
  }
  if (odd != 0) return false;

  // The lists, one after the other: each must ascend and hold positions of its
  // own letter only, and together they must hold as many positions as there
  // are letters. Then each letter's list is exactly its positions.
  const std::uint32_t* lists = sequence.letterLists;
  if (lists[kLetterCount] - lists[0] != letters) return false;
  for (std::uint32_t k = 0; k < kLetterCount; ++k) {
    std::uint64_t previous = 0;
    bool first = true;
    for (std::uint32_t entry = lists[k]; entry < lists[k + 1]; ++entry) {
      const std::uint32_t p = sequence.positions[entry];
      if (p >= length || codes_[p] != k || (!first && p <= previous)) return false;
      previous = p;
      first = false;
    }
  }
  return true;
}

void SearchEngine::Worker::SearchDatabaseSequence(const sequenceMappedMemoryCDT& sequences,
                                                  std::uint32_t n, std::string& out) {
  const std::uint32_t begin = sequences.sequenceIndices[n];
  const std::uint64_t length = sequences.sequenceIndices[n + 1] - begin;
  const std::uint32_t name = sequences.nameIndices[n];
  SearchListedSequence(
      n, {sequences.names + name, sequences.nameIndices[n + 1] - name},
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
  if (stop == 0 || length == 0) return;

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

  if (!PrepareListedSequence(listed)) {
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
    FindIndexedHits(index, {listed.residues, codes_.data(), length, stop, true}, hits_, counters_);
    for (const std::uint32_t m : index.residualMotifs()) {
      if (m >= stop) break;
      walk(m);
    }
    for (const std::uint32_t m : index.anchoredMotifs()) {
      if (m >= stop) break;
      CheckAnchored(m, listed.residues, length, true);
    }
    std::sort(hits_.begin(), hits_.end());
  }
  if (hits_.empty()) return;

  engine_.lines_.BeginSequence(out, lineState_, number, name, NameKind::kDatabase);
  WriteHits(out, statistics, text);
}

void SearchEngine::Worker::SearchText(std::uint64_t number, std::string_view name, NameKind kind,
                                      std::string_view text, std::string& out) {
  ++counters_.sequences;
  text = text.substr(0, ::strnlen(text.data(), text.size()));
  const std::uint64_t length = text.size();
  LengthStatistics& statistics = StatisticsFor(length);
  const std::uint32_t stop = statistics.stop();
  if (stop == 0 || length == 0) return;

  codes_.resize(length);
  masks_.resize(length);
  for (std::uint64_t p = 0; p < length; ++p) {
    const std::uint8_t code = kTextCodes.code[static_cast<unsigned char>(text[p])];
    codes_[p] = code;
    masks_[p] = code == kNoLetter ? 0u : 1u << code;
  }
  const MotifIndex& index = engine_.index_;
  hits_.clear();
  FindIndexedHits(index, {masks_.data(), codes_.data(), length, stop, false}, hits_, counters_);
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
  if (hits_.empty()) return;
  std::sort(hits_.begin(), hits_.end());
  engine_.lines_.BeginSequence(out, lineState_, number, name, kind);
  WriteHits(out, statistics, text);
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
                                     std::string_view text) {
  LengthStatistics::Cursor cursor(statistics);
  for (const EngineHit& hit : hits_) {
    const HitStatistics& at = cursor.At(hit.motif);
    const std::uint32_t width = engine_.index_.motif(hit.motif).view.width;
    engine_.lines_.AppendHitLine(out, lineState_, at, hit.motif, text.substr(hit.start, width),
                                 hit.start);
    if (spill_ != nullptr && out.size() >= spillBytes_) spill_->Spill(out);
  }
}
