// SPDX-License-Identifier: MIT
// motif_builder.cpp: patterns to motif database blocks.
#include "motif_builder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <variant>

#include "brisel.h"
#include "build_error.h"
#include "darray.h"
#include "database/motif_database.h"
#include "database_output.h"
#include "output/message_text.h"
#include "pattern_expansion.h"
#include "pattern_parser.h"

namespace {

// "<program>: <input>:<line>: warning: <what>".
void Warn(OutputStream* messages, std::string_view program, std::string_view inputName,
          const PatternSource& source, const std::string& what) {
  if (messages == nullptr) return;
  messages->Write(std::string(program) + ": " + EscapedText(inputName) + ":" +
                  std::to_string(source.line()) + ": warning: " + what + "\n");
}

[[noreturn]] void FailBlockLimits(std::string_view inputName, const PatternSource& source) {
  throw BuildError(std::string(inputName) + ":" + std::to_string(source.line()) +
                   ": the motif database would exceed the 32-bit limits of its blocks");
}

template <typename T>
void Append(DArray array, const T& value) {
  ArrayAppend(array, &value);
}

}  // namespace

MotifDatabaseBuilder::MotifDatabaseBuilder(bool keepOrder, OutputStream* messages,
                                           std::string_view program)
    : keepOrder_(keepOrder), messages_(messages), program_(program) {
  InitializeCharToPercentageMap(charToPercentageMap_);
}

void MotifDatabaseBuilder::AddPatterns(std::string_view inputName,
                                       const std::vector<PatternSource>& sources) {
  for (const PatternSource& source : sources) {
    ++patterns_;
    const auto parsed = ParsePattern(source.pattern);
    if (const auto* error = std::get_if<PatternSyntaxError>(&parsed)) {
      throw BuildError(std::string(inputName) + ":" + source.Location(error->offset) + ": " +
                       error->message + " in pattern '" + source.pattern + "'");
    }
    const Pattern& pattern = std::get<Pattern>(parsed);
    const DistinctMotifs expansion =
        ExpandDistinctMotifs(pattern, kMaxExpansions, kMaxExpansionSteps);
    if (expansion.outcome() != DistinctMotifs::Outcome::kComplete) {
      Warn(messages_, program_, inputName, source,
           "skipping pattern '" + EscapedText(source.pattern) + "': " +
               (expansion.outcome() == DistinctMotifs::Outcome::kTooManyMotifs
                    ? "it expands into more than " + std::to_string(kMaxExpansions) + " motifs"
                    : "its expansion takes more than " + std::to_string(kMaxExpansionSteps) +
                          " steps"));
      ++skipped_;
      continue;
    }
    if (expansion.size() > kQuietExpansions) {
      Warn(messages_, program_, inputName, source,
           "pattern '" + EscapedText(source.record) + "' expands into " +
               std::to_string(expansion.size()) + " motifs");
    }
    // Refused before the motifs are made: a pattern of many wide motifs could
    // otherwise take more memory than the blocks could ever hold.
    if (positions_ + expansion.positions() > kMaxBlockLength) FailBlockLimits(inputName, source);
    const std::size_t record = records_.size();
    records_.push_back(source.record);
    for (std::size_t m = 0; m < expansion.size(); ++m) {
      ExpandedMotif motif = expansion.Motif(m);
      positions_ += motif.positions.size();
      recordChars_ += source.record.size();
      if (motifs_.size() + 1 > kMaxBlockLength - 1 || positions_ > kMaxBlockLength ||
          recordChars_ > kMaxBlockLength) {
        FailBlockLimits(inputName, source);
      }
      const MotifStatistics statistics =
          ComputeMotifStatistics(motif.positions, charToPercentageMap_);
      if (motif.anchor != kUnanchored) ++anchoredMotifs_;
      motifs_.push_back({std::move(motif.positions), statistics, record, motif.anchor});
    }
  }
}

namespace {

// The view of a block that holds no element.
alignas(8) const unsigned char kEmptyArray[8] = {};

const void* ArrayView(DArray array) {
  return ArrayLength(array) == 0 ? kEmptyArray : ArrayNth(array, 0);
}

}  // namespace

// The nine blocks, and the anchors block when some motif is anchored, as
// dynamic arrays.
struct MotifDatabaseBuilder::Blocks {
  std::array<ArrayPtr, kMotifBlocks.size()> owned;
  motifMemoryBlockCDT arrays{};
  ArrayPtr anchors;
  std::array<std::uint32_t, 3> counts{};
};

std::shared_ptr<const MotifDatabaseBuilder::Blocks> MotifDatabaseBuilder::MakeBlocks() {
  if (!keepOrder_) {
    std::stable_sort(motifs_.begin(), motifs_.end(), [](const Motif& a, const Motif& b) {
      return a.statistics.specificity < b.statistics.specificity;
    });
  }
  auto made = std::make_shared<Blocks>();
  Blocks& blocks = *made;
  blocks.counts = {static_cast<std::uint32_t>(motifs_.size()),
                   static_cast<std::uint32_t>(positions_),
                   static_cast<std::uint32_t>(recordChars_)};
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b) {
    const MotifBlock& block = kMotifBlocks[b];
    blocks.owned[b].reset(
        ArrayNew(block.width(), std::max<std::uint64_t>(block.Length(blocks.counts), 1), nullptr));
    blocks.arrays.*block.array = blocks.owned[b].get();
  }
  const motifMemoryBlockCDT& a = blocks.arrays;
  Append(a.bitIndicesArray, std::uint32_t{0});
  Append(a.recordIndicesArray, std::uint32_t{0});
  for (const Motif& motif : motifs_) {
    Append(a.logSpecificitiesArray, motif.statistics.logSpecificity);
    Append(a.specificitiesArray, motif.statistics.specificity);
    Append(a.lengthCorrectionsArray, motif.statistics.lengthCorrection);
    ArrayAppendMany(a.bitMotifsArray, motif.positions.data(), motif.positions.size());
    Append(a.bitIndicesArray, static_cast<std::uint32_t>(ArrayLength(a.bitMotifsArray)));
    Append(a.homingBitLettersArray, motif.statistics.homingMask);
    Append(a.offsetsArray, motif.statistics.homingPosition);
    const std::string& record = records_[motif.record];
    ArrayAppendMany(a.recordsArray, record.data(), record.size());
    Append(a.recordIndicesArray, static_cast<std::uint32_t>(ArrayLength(a.recordsArray)));
  }
  if (anchored()) {
    blocks.anchors.reset(ArrayNew(1, std::max<std::uint64_t>(motifs_.size(), 1), nullptr));
    for (const Motif& motif : motifs_)
      Append(blocks.anchors.get(), static_cast<std::uint8_t>(motif.anchor));
  }
  return made;
}

void MotifDatabaseBuilder::Write(StagedDatabase& database) {
  const std::shared_ptr<const Blocks> blocks = MakeBlocks();
  for (const MotifBlock& block : kMotifBlocks)
    WriteStagedBlock(database, block.suffix, blocks->arrays.*block.array, block.element);
  if (blocks->anchors) {
    WriteStagedBlock(database, kAnchorsSuffix, blocks->anchors.get(), BlockElement::kChars);
  } else {
    // An anchors block of an earlier build of this root would tie the new
    // motifs to the old anchors.
    database.StageRemoval(kAnchorsSuffix);
  }
  WriteStagedStats(database, blocks->counts[kMotifsCount], blocks->counts[kMotifBitsCount],
                   blocks->counts[kMotifCharsCount]);
}

brisel::MotifDatabase MotifDatabaseBuilder::InMemory() {
  const std::shared_ptr<const Blocks> blocks = MakeBlocks();
  motifMappedMemoryCDT views{};
  views.counts = blocks->counts;
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b) {
    const DArray array = blocks->arrays.*kMotifBlocks[b].array;
    kMotifBlocks[b].view.store(views, ArrayView(array));
    views.blockFileBytes[b] = std::uint64_t{ArrayLength(array)} * kMotifBlocks[b].width();
  }
  if (blocks->anchors) {
    views.anchors = static_cast<const std::uint8_t*>(ArrayView(blocks->anchors.get()));
    views.anchorsFileBytes = ArrayLength(blocks->anchors.get());
  }
  return brisel::MotifDatabase::InMemory(views, blocks);
}
