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
#include "database_output.h"
#include "output/message_text.h"
#include "database/motif_database.h"
#include "pattern_expansion.h"
#include "pattern_parser.h"

namespace {

constexpr std::uint64_t kMaxBlockLength = 4294967295u;

void WarnSkipped(const InputFile& input, const PatternSource& source, const std::string& reason) {
  std::fprintf(stderr, "brisel-makedb: %s:%llu: warning: skipping pattern '%s': %s\n",
               EscapedText(input.name()).c_str(), static_cast<unsigned long long>(source.line()),
               EscapedText(source.pattern).c_str(), reason.c_str());
}

void WarnLarge(const InputFile& input, const PatternSource& source, std::uint64_t motifs) {
  std::fprintf(stderr, "brisel-makedb: %s:%llu: warning: pattern '%s' expands into %llu motifs\n",
               EscapedText(input.name()).c_str(), static_cast<unsigned long long>(source.line()),
               EscapedText(source.record).c_str(), static_cast<unsigned long long>(motifs));
}

[[noreturn]] void FailBlockLimits(const InputFile& input, const PatternSource& source) {
  throw BuildError(input.name() + ":" + std::to_string(source.line()) +
                   ": the motif database would exceed the 32-bit limits of its blocks");
}

template <typename T>
void Append(DArray array, const T& value) {
  ArrayAppend(array, &value);
}

}  // namespace

MotifDatabaseBuilder::MotifDatabaseBuilder(bool keepOrder) : keepOrder_(keepOrder) {
  InitializeCharToPercentageMap(charToPercentageMap_);
}

void MotifDatabaseBuilder::AddPatterns(const InputFile& input,
                                       const std::vector<PatternSource>& sources) {
  for (const PatternSource& source : sources) {
    ++patterns_;
    const auto parsed = ParsePattern(source.pattern);
    if (const auto* error = std::get_if<PatternSyntaxError>(&parsed)) {
      throw BuildError(input.name() + ":" + source.Location(error->offset) + ": " + error->message +
                       " in pattern '" + source.pattern + "'");
    }
    const Pattern& pattern = std::get<Pattern>(parsed);
    const DistinctMotifs expansion =
        ExpandDistinctMotifs(pattern, kMaxExpansions, kMaxExpansionSteps);
    if (expansion.outcome() != DistinctMotifs::Outcome::kComplete) {
      WarnSkipped(
          input, source,
          expansion.outcome() == DistinctMotifs::Outcome::kTooManyMotifs
              ? "it expands into more than " + std::to_string(kMaxExpansions) + " motifs"
              : "its expansion takes more than " + std::to_string(kMaxExpansionSteps) + " steps");
      ++skipped_;
      continue;
    }
    if (expansion.size() > kQuietExpansions) WarnLarge(input, source, expansion.size());
    // Refused before the motifs are made: a pattern of many wide motifs could
    // otherwise take more memory than the blocks could ever hold.
    if (positions_ + expansion.positions() > kMaxBlockLength) FailBlockLimits(input, source);
    const std::size_t record = records_.size();
    records_.push_back(source.record);
    for (std::size_t m = 0; m < expansion.size(); ++m) {
      ExpandedMotif motif = expansion.Motif(m);
      positions_ += motif.positions.size();
      recordChars_ += source.record.size();
      if (motifs_.size() + 1 > kMaxBlockLength - 1 || positions_ > kMaxBlockLength ||
          recordChars_ > kMaxBlockLength) {
        FailBlockLimits(input, source);
      }
      const MotifStatistics statistics =
          ComputeMotifStatistics(motif.positions, charToPercentageMap_);
      if (motif.anchor != kUnanchored) ++anchoredMotifs_;
      motifs_.push_back({std::move(motif.positions), statistics, record, motif.anchor});
    }
  }
}

void MotifDatabaseBuilder::Write(StagedDatabase& database) {
  if (!keepOrder_) {
    std::stable_sort(motifs_.begin(), motifs_.end(), [](const Motif& a, const Motif& b) {
      return a.statistics.specificity < b.statistics.specificity;
    });
  }
  const unsigned long count = std::max<std::uint64_t>(motifs_.size(), 1);
  const auto doubles = [&] { return ArrayPtr(ArrayNew(sizeof(double), count, nullptr)); };
  const auto unsigneds = [&](std::uint64_t n) {
    return ArrayPtr(ArrayNew(sizeof(std::uint32_t), std::max<std::uint64_t>(n, 1), nullptr));
  };
  const ArrayPtr logSpecificities = doubles(), specificities = doubles(),
                 lengthCorrections = doubles();
  const ArrayPtr bitMotifs = unsigneds(positions_), bitIndices = unsigneds(count + 1),
                 homingBitLetters = unsigneds(count), offsets = unsigneds(count),
                 recordIndices = unsigneds(count + 1);
  const ArrayPtr records(ArrayNew(1, std::max<std::uint64_t>(recordChars_, 1), nullptr));

  Append(bitIndices.get(), std::uint32_t{0});
  Append(recordIndices.get(), std::uint32_t{0});
  for (const Motif& motif : motifs_) {
    Append(logSpecificities.get(), motif.statistics.logSpecificity);
    Append(specificities.get(), motif.statistics.specificity);
    Append(lengthCorrections.get(), motif.statistics.lengthCorrection);
    ArrayAppendMany(bitMotifs.get(), motif.positions.data(), motif.positions.size());
    Append(bitIndices.get(), static_cast<std::uint32_t>(ArrayLength(bitMotifs.get())));
    Append(homingBitLetters.get(), motif.statistics.homingMask);
    Append(offsets.get(), motif.statistics.homingPosition);
    const std::string& record = records_[motif.record];
    ArrayAppendMany(records.get(), record.data(), record.size());
    Append(recordIndices.get(), static_cast<std::uint32_t>(ArrayLength(records.get())));
  }

  const motifMemoryBlockCDT blocks = {
      logSpecificities.get(), specificities.get(), lengthCorrections.get(),
      bitMotifs.get(),        bitIndices.get(),    homingBitLetters.get(),
      offsets.get(),          records.get(),       recordIndices.get()};
  WriteStagedBlock(database, "-logSpecificities.bin", blocks.logSpecificitiesArray,
                   BlockKind::kDoubles);
  WriteStagedBlock(database, "-specificities.bin", blocks.specificitiesArray, BlockKind::kDoubles);
  WriteStagedBlock(database, "-lengthCorrections.bin", blocks.lengthCorrectionsArray,
                   BlockKind::kDoubles);
  WriteStagedBlock(database, "-bitMotifs.bin", blocks.bitMotifsArray, BlockKind::kUnsignedLongs);
  WriteStagedBlock(database, "-bitIndices.bin", blocks.bitIndicesArray, BlockKind::kUnsignedLongs);
  WriteStagedBlock(database, "-homingBitLetters.bin", blocks.homingBitLettersArray,
                   BlockKind::kUnsignedLongs);
  WriteStagedBlock(database, "-offsets.bin", blocks.offsetsArray, BlockKind::kUnsignedLongs);
  WriteStagedBlock(database, "-records.bin", blocks.recordsArray, BlockKind::kChars);
  WriteStagedBlock(database, "-recordIndices.bin", blocks.recordIndicesArray,
                   BlockKind::kUnsignedLongs);
  if (anchored()) {
    const ArrayPtr anchors(ArrayNew(1, count, nullptr));
    for (const Motif& motif : motifs_)
      Append(anchors.get(), static_cast<std::uint8_t>(motif.anchor));
    WriteStagedBlock(database, kAnchorsSuffix, anchors.get(), BlockKind::kChars);
  } else {
    // An anchors block of an earlier build of this root would tie the new
    // motifs to the old anchors.
    database.StageRemoval(kAnchorsSuffix);
  }
  WriteStagedStats(database, motifs_.size(), positions_, recordChars_);
}
