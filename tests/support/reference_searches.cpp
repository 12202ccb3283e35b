// SPDX-License-Identifier: MIT
// reference_searches.cpp: the motif-by-motif searches.
#include "support/reference_searches.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "matching/motif_matching.h"
#include "matching/per_motif_walks.h"
#include "statistics/hit_statistics.h"

namespace brisel {

namespace {

// Writes `text` up to its first NUL byte.
void WriteTextUntilNul(std::FILE* out, std::string_view text) {
  const std::string_view shown = UntilNul(text);
  std::fwrite(shown.data(), 1, shown.size(), out);
}

std::string Escaped(void (*append)(std::string&, std::string_view), std::string_view text) {
  std::string escaped;
  append(escaped, text);
  return escaped;
}

// The sequence a hit line belongs to: its name and how it reached the search.
struct HitSequence {
  std::string_view name;
  NameKind kind;
};

// The pipe format's header line of a sequence; the other formats have none.
void WriteSequenceHeader(std::FILE* out, OutputFormat format, const HitSequence& sequence) {
  if (format != OutputFormat::kPipe || sequence.kind == NameKind::kNone) return;
  if (sequence.kind == NameKind::kDatabase) std::fputc('>', out);
  WriteTextUntilNul(out, sequence.name);
  std::fputc('\n', out);
}

void WriteHitLineByPrintf(std::FILE* out, OutputFormat format, const HitSequence& sequence,
                          const HitStatistics& statistics, double specificity,
                          std::string_view record, std::string_view segment, std::uint64_t start) {
  const auto first = static_cast<unsigned long>(start + 1);
  const auto last = static_cast<unsigned long>(start + segment.size());
  const std::string_view name = PlainName(sequence.name, sequence.kind);
  switch (format) {
    case OutputFormat::kPipe:
      std::fprintf(out, "%.2e|%.3f|%.3e|", statistics.expectation,
                   statistics.probabilityOfNoRandomHit, specificity);
      WriteTextUntilNul(out, record);
      std::fputc('|', out);
      WriteTextUntilNul(out, segment);
      std::fprintf(out, "|%lu|%lu\n", first, last);
      return;
    case OutputFormat::kTsv:
      std::fprintf(out, "%s\t%lu\t%lu\t%s\t%s\t%.3e\t%.2e\t%.3f\n",
                   Escaped(AppendTsvField, name).c_str(), first, last,
                   Escaped(AppendTsvField, record).c_str(),
                   Escaped(AppendTsvField, segment).c_str(), specificity, statistics.expectation,
                   statistics.probabilityOfNoRandomHit);
      return;
    case OutputFormat::kGff3: {
      std::fprintf(out, "%s\tbrisel\tpolypeptide_motif\t%lu\t%lu\t%.2e\t.\t.\t",
                   Escaped(AppendGff3Seqid, name).c_str(), first, last, statistics.expectation);
      const std::string note = Escaped(AppendGff3Value, record);
      const std::string motifName = Escaped(AppendGff3Value, FirstWord(record));
      if (!motifName.empty()) std::fprintf(out, "Name=%s;", motifName.c_str());
      if (!note.empty()) std::fprintf(out, "Note=%s;", note.c_str());
      std::fprintf(out, "specificity=%.3e;segment=%s;p_no_random_hit=%.3f\n", specificity,
                   Escaped(AppendGff3Value, segment).c_str(), statistics.probabilityOfNoRandomHit);
      return;
    }
    case OutputFormat::kBed: {
      // The score is -100 log10 of E as the other formats write it.
      char expectation[32];
      std::snprintf(expectation, sizeof expectation, "%.2e", statistics.expectation);
      const double score = -100 * std::log10(std::strtod(expectation, nullptr));
      const std::string chrom(FirstWord(name)), motif(FirstWord(UntilNul(record)));
      std::fprintf(out, "%s\t%lu\t%lu\t%s\t%ld\t.\n", chrom.empty() ? "sequence" : chrom.c_str(),
                   first - 1, last, motif.empty() ? "." : motif.c_str(),
                   !(score > 0)    ? 0L
                   : score >= 1000 ? 1000L
                                   : std::lround(score));
      return;
    }
  }
}

MotifView ViewOf(const MotifViews& motifs, std::uint32_t m, CheckOrder order) {
  return {motifs.bitMotifs + motifs.bitIndices[m],
          MotifWidth(motifs, m),
          motifs.homingBitLetters[m],
          motifs.offsets[m],
          order,
          MotifAnchorOf(motifs, m)};
}

// Multiplies P out motif by motif, eagerly, so that the reference does not
// share the engine's per-length memo.
struct EagerStatistics {
  HitStatistics statistics;
  bool Add(const MotifViews& motifs, std::uint64_t length, std::uint32_t m,
           double cutoffExpectation) {
    if (!AddMotifExpectedRandomHits(statistics, motifs, m, length, cutoffExpectation)) {
      return false;
    }
    MultiplyMotifProbabilityOfNoRandomHit(statistics, motifs, m, length);
    return true;
  }
};

}  // namespace

void ReferenceIndexedSearch(const MotifViews& motifs, const SequenceViews& sequences,
                            double cutoffExpectation, std::FILE* out, std::FILE* err,
                            OutputFormat format) {
  const std::vector<CheckOrder> orders = MotifCheckOrders(motifs, true);
  for (std::uint32_t n = 0; n < SequenceCountOf(sequences); ++n) {
    const std::uint32_t begin = sequences.sequenceIndices[n];
    const ListedSequence listed{sequences.sequenceIndices[n + 1] - begin,
                                sequences.bitSequences + begin,
                                sequences.offsetIndices + std::uint64_t{26} * n, sequences.offsets};
    std::fprintf(err, "Processing Sequence %lu\r", static_cast<unsigned long>(n) + 1);
    const std::uint32_t name = sequences.nameIndices[n];
    const HitSequence sequence{{sequences.names + name, sequences.nameIndices[n + 1] - name},
                               NameKind::kDatabase};
    EagerStatistics statistics;
    bool foundMatches = false;
    for (std::uint32_t m = 0; m < MotifCountOf(motifs); ++m) {
      const MotifView motif = ViewOf(motifs, m, orders[m]);
      if (!MotifHasPlacement(motifs, m, listed.length)) continue;
      if (!statistics.Add(motifs, listed.length, m, cutoffExpectation)) break;
      const auto report = [&](std::uint64_t start, std::uint32_t) {
        if (!foundMatches) {
          WriteSequenceHeader(out, format, sequence);
          foundMatches = true;
        }
        WriteHitLineByPrintf(out, format, sequence, statistics.statistics, motifs.specificities[m],
                             MotifRecord(motifs, m),
                             {sequences.textSequences + begin + start, motif.width}, start);
      };
      if (motif.anchor != kUnanchored) {
        CheckAnchoredPlacement(motif, listed.residues, listed.length, true, report);
      } else {
        WalkHomingLetterLists(motif, listed, report);
      }
    }
  }
}

void ReferenceScanSequence(const MotifViews& motifs, std::string_view sequenceName,
                           std::string_view textSequence, const std::uint32_t* charToBitMap,
                           double cutoffExpectation, int isFasta, std::FILE* out,
                           OutputFormat format) {
  const HitSequence sequence{sequenceName, isFasta != 0 ? NameKind::kFastaLine : NameKind::kNone};
  textSequence = textSequence.substr(0, ::strnlen(textSequence.data(), textSequence.size()));
  const std::uint64_t length = textSequence.size();
  std::vector<std::uint32_t> residues(length);
  for (std::uint64_t i = 0; i < length; ++i) {
    residues[i] = CharToMask(charToBitMap, static_cast<unsigned char>(textSequence[i]));
  }
  LetterBitmaps bitmaps;
  bitmaps.Build(residues.data(), length);
  const std::vector<CheckOrder> orders = MotifCheckOrders(motifs, false);

  EagerStatistics statistics;
  bool foundMatches = false;
  for (std::uint32_t m = 0; m < MotifCountOf(motifs); ++m) {
    const MotifView motif = ViewOf(motifs, m, orders[m]);
    if (!MotifHasPlacement(motifs, m, length)) continue;
    if (!statistics.Add(motifs, length, m, cutoffExpectation)) return;
    const auto report = [&](std::uint64_t start, std::uint32_t) {
      if (!foundMatches) {
        WriteSequenceHeader(out, format, sequence);
        foundMatches = true;
      }
      WriteHitLineByPrintf(out, format, sequence, statistics.statistics, motifs.specificities[m],
                           MotifRecord(motifs, m), textSequence.substr(start, motif.width), start);
    };
    if (motif.anchor != kUnanchored) {
      CheckAnchoredPlacement(motif, residues.data(), length, false, report);
    } else {
      WalkStartsByBitmaps(motif, residues.data(), length, bitmaps, report);
    }
  }
}

}  // namespace brisel
