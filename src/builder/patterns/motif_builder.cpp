// SPDX-License-Identifier: MIT
// motif_builder.cpp: patterns to motif database blocks.
#include "patterns/motif_builder.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <variant>

#include "base/message_text.h"
#include "database/motif_database.h"
#include "patterns/pattern_expansion.h"
#include "patterns/pattern_parser.h"
#include "staging/build_error.h"
#include "staging/database_output.h"

namespace brisel {

namespace {

// "<program>: <input>:<line>: warning: <what>".
void Warn(OutputStream* messages, std::string_view program, std::string_view inputName,
          const PatternSource& source, const std::string& what) {
  if (messages == nullptr) return;
  messages->Write(std::string(program) + ": " + EscapedText(inputName) + ":" +
                  std::to_string(source.line()) + ": warning: " + what + "\n");
}

// The warning for a pattern that names B, Z or J, the IUPAC codes of two
// amino acids each, as letters: a letter set matches the letter itself only,
// as in the sequences the databases hold. Empty when it names none.
std::string AmbiguityCodeWarning(const PatternSource& source) {
  struct Code {
    char letter;
    const char* set;
    const char* residues;
  };
  static constexpr Code kCodes[] = {
      {'B', "[DN]", "Asp or Asn"}, {'Z', "[EQ]", "Glu or Gln"}, {'J', "[IL]", "Ile or Leu"}};
  std::string letters, advice;
  std::size_t count = 0;
  for (const Code& code : kCodes) {
    const char lower = static_cast<char>(code.letter - 'A' + 'a');
    if (source.pattern.find(code.letter) == std::string::npos &&
        source.pattern.find(lower) == std::string::npos) {
      continue;
    }
    letters += code.letter;
    advice += (count > 0 ? ", for " : "; for ") + std::string(code.residues) + " write " + code.set;
    ++count;
  }
  if (count == 0) return {};
  // "B", "B and Z", "B, Z and J".
  std::string named(1, letters[0]);
  for (std::size_t i = 1; i < letters.size(); ++i)
    named += (i + 1 == letters.size() ? " and " : ", ") + std::string(1, letters[i]);
  return "pattern '" + EscapedText(source.pattern) + "' uses " + named +
         (count == 1 ? " as a letter, which matches that letter alone"
                     : " as letters, which match those letters alone") +
         advice;
}

[[noreturn]] void FailBlockLimits(std::string_view inputName, const PatternSource& source) {
  throw BuildError(std::string(inputName) + ":" + std::to_string(source.line()) +
                   ": the motif database would exceed the 32-bit limits of its blocks");
}

}  // namespace

MotifDatabaseBuilder::MotifDatabaseBuilder(bool keepOrder, OutputStream* messages,
                                           std::string_view program)
    : keepOrder_(keepOrder), messages_(messages), program_(program) {}

void MotifDatabaseBuilder::AddPatterns(std::string_view inputName,
                                       const std::vector<PatternSource>& sources) {
  for (const PatternSource& source : sources) {
    ++patterns_;
    const auto parsed = ParsePattern(source.pattern);
    if (const auto* error = std::get_if<PatternSyntaxError>(&parsed)) {
      throw Placed(BuildError(std::string(inputName) + ":" + source.Location(error->offset) + ": " +
                              error->message + " in pattern '" + source.pattern + "'"),
                   {std::string(inputName), source.line(), source.pattern});
    }
    const Pattern& pattern = std::get<Pattern>(parsed);
    if (const std::string warning = AmbiguityCodeWarning(source); !warning.empty()) {
      Warn(messages_, program_, inputName, source, warning);
    }
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
      const MotifStatistics statistics = ComputeMotifStatistics(motif.positions, frequencies_);
      if (motif.anchor != kUnanchored) ++anchoredMotifs_;
      motifs_.push_back({std::move(motif.positions), statistics, record, motif.anchor});
    }
  }
}

namespace {

// The view of a block that holds no element.
alignas(8) const unsigned char kEmptyBlock[8] = {};

template <typename T>
std::span<const char> BytesOf(const std::vector<T>& elements) {
  if (elements.empty()) return {reinterpret_cast<const char*>(kEmptyBlock), 0};
  return {reinterpret_cast<const char*>(elements.data()), elements.size() * sizeof(T)};
}

}  // namespace

// The nine blocks, and the anchors block when some motif is anchored.
struct MotifDatabaseBuilder::Blocks {
  std::vector<double> logSpecificities, specificities, lengthCorrections;
  std::vector<std::uint32_t> bitMotifs, bitIndices, homingBitLetters, offsets;
  std::vector<char> records;
  std::vector<std::uint32_t> recordIndices;
  std::vector<std::uint8_t> anchors;
  std::array<std::uint32_t, 3> counts{};

  // The bytes of each block, in the order of kMotifBlocks.
  std::array<std::span<const char>, kMotifBlocks.size()> Bytes() const {
    return {BytesOf(logSpecificities), BytesOf(specificities), BytesOf(lengthCorrections),
            BytesOf(bitMotifs),        BytesOf(bitIndices),    BytesOf(homingBitLetters),
            BytesOf(offsets),          BytesOf(records),       BytesOf(recordIndices)};
  }
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
  const std::size_t count = motifs_.size();
  blocks.logSpecificities.reserve(count);
  blocks.specificities.reserve(count);
  blocks.lengthCorrections.reserve(count);
  blocks.bitMotifs.reserve(positions_);
  blocks.bitIndices.reserve(count + 1);
  blocks.homingBitLetters.reserve(count);
  blocks.offsets.reserve(count);
  blocks.records.reserve(recordChars_);
  blocks.recordIndices.reserve(count + 1);
  blocks.bitIndices.push_back(0);
  blocks.recordIndices.push_back(0);
  for (const Motif& motif : motifs_) {
    blocks.logSpecificities.push_back(motif.statistics.logSpecificity);
    blocks.specificities.push_back(motif.statistics.specificity);
    blocks.lengthCorrections.push_back(motif.statistics.lengthCorrection);
    blocks.bitMotifs.insert(blocks.bitMotifs.end(), motif.positions.begin(), motif.positions.end());
    blocks.bitIndices.push_back(static_cast<std::uint32_t>(blocks.bitMotifs.size()));
    blocks.homingBitLetters.push_back(motif.statistics.homingMask);
    blocks.offsets.push_back(motif.statistics.homingPosition);
    const std::string& record = records_[motif.record];
    blocks.records.insert(blocks.records.end(), record.begin(), record.end());
    blocks.recordIndices.push_back(static_cast<std::uint32_t>(blocks.records.size()));
  }
  if (anchored()) {
    blocks.anchors.reserve(count);
    for (const Motif& motif : motifs_)
      blocks.anchors.push_back(static_cast<std::uint8_t>(motif.anchor));
  }
  return made;
}

void MotifDatabaseBuilder::Write(StagedDatabase& database) {
  const std::shared_ptr<const Blocks> blocks = MakeBlocks();
  const auto bytes = blocks->Bytes();
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b)
    WriteStagedBlock(database, kMotifBlocks[b].suffix, bytes[b]);
  if (anchored()) {
    WriteStagedBlock(database, kAnchorsSuffix, BytesOf(blocks->anchors));
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
  MotifViews views{};
  views.counts = blocks->counts;
  const auto bytes = blocks->Bytes();
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b) {
    kMotifBlocks[b].view.store(views, bytes[b].data());
    views.blockFileBytes[b] = bytes[b].size();
  }
  if (anchored()) {
    views.anchors = reinterpret_cast<const std::uint8_t*>(BytesOf(blocks->anchors).data());
    views.anchorsFileBytes = blocks->anchors.size();
  }
  return brisel::MotifDatabase::InMemory(views, blocks);
}

}  // namespace brisel
