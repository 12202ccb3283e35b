// reference_searches.cpp: the motif-by-motif searches.
#include "reference/reference_searches.h"

#include <cstring>
#include <vector>

#include "hit_report.h"
#include "motif_database.h"
#include "motif_matching.h"
#include "reference/per_motif_walks.h"
#include "sequence_database.h"

namespace {

void WriteHitLineByPrintf(std::FILE* out, const HitStatistics& statistics, double specificity,
                          std::string_view record, std::string_view segment, std::uint64_t start) {
  std::fprintf(out, "%.2e|%.3f|%.3e|", statistics.expectation, statistics.probabilityOfNoRandomHit,
               specificity);
  WriteTextUntilNul(out, record);
  std::fputc('|', out);
  WriteTextUntilNul(out, segment);
  std::fprintf(out, "|%lu|%lu\n", static_cast<unsigned long>(start + 1),
               static_cast<unsigned long>(start + segment.size()));
}

MotifView ViewOf(const motifMappedMemoryCDT& motifs, std::uint32_t m, CheckOrder order) {
  return {motifs.bitMotifs + motifs.bitIndices[m],
          MotifWidth(motifs, m),
          motifs.homingBitLetters[m],
          motifs.offsets[m],
          order,
          MotifAnchorOf(motifs, m)};
}

// Multiplies P out motif by motif, eagerly, so that the reference does not
// share the engine's lazy bookkeeping.
struct EagerStatistics {
  HitStatistics statistics;
  bool Add(const motifMappedMemoryCDT& motifs, std::uint64_t length, std::uint32_t m,
           double cutoffExpectation) {
    if (!AddMotifExpectedRandomHits(statistics, motifs, m, length, cutoffExpectation)) {
      return false;
    }
    MultiplyMotifProbabilityOfNoRandomHit(statistics, motifs, m, length);
    return true;
  }
};

}  // namespace

void ReferenceIndexedSearch(const motifMappedMemoryCDT& motifs,
                            const sequenceMappedMemoryCDT& sequences, double cutoffExpectation,
                            std::FILE* out, std::FILE* err) {
  const std::vector<CheckOrder> orders = MotifCheckOrders(motifs, true);
  for (std::uint32_t n = 0; n < numSequences; ++n) {
    const std::uint32_t begin = sequences.sequenceIndices[n];
    const ListedSequence sequence{
        sequences.sequenceIndices[n + 1] - begin, sequences.bitSequences + begin,
        sequences.offsetIndices + std::uint64_t{26} * n, sequences.offsets};
    std::fprintf(err, "Processing Sequence %lu\r", static_cast<unsigned long>(n) + 1);
    EagerStatistics statistics;
    bool foundMatches = false;
    for (std::uint32_t m = 0; m < numMotifs; ++m) {
      const MotifView motif = ViewOf(motifs, m, orders[m]);
      if (!MotifHasPlacement(motifs, m, sequence.length)) continue;
      if (!statistics.Add(motifs, sequence.length, m, cutoffExpectation)) break;
      const auto report = [&](std::uint64_t start, std::uint32_t) {
        if (!foundMatches) {
          const std::uint32_t name = sequences.nameIndices[n];
          std::fputc('>', out);
          WriteTextUntilNul(out, {sequences.names + name, sequences.nameIndices[n + 1] - name});
          std::fputc('\n', out);
          foundMatches = true;
        }
        WriteHitLineByPrintf(out, statistics.statistics, motifs.specificities[m],
                             MotifRecord(motifs, m),
                             {sequences.textSequences + begin + start, motif.width}, start);
      };
      if (motif.anchor != kUnanchored) {
        CheckAnchoredPlacement(motif, sequence.residues, sequence.length, true, report);
      } else {
        WalkHomingLetterLists(motif, sequence, report);
      }
    }
  }
}

void ReferenceScanSequence(const motifMappedMemoryCDT& motifs, std::string_view sequenceName,
                           std::string_view textSequence, const std::uint32_t* charToBitMap,
                           double cutoffExpectation, int isFasta, std::FILE* out) {
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
  for (std::uint32_t m = 0; m < numMotifs; ++m) {
    const MotifView motif = ViewOf(motifs, m, orders[m]);
    if (!MotifHasPlacement(motifs, m, length)) continue;
    if (!statistics.Add(motifs, length, m, cutoffExpectation)) return;
    const auto report = [&](std::uint64_t start, std::uint32_t) {
      if (!foundMatches && isFasta != 0) {
        WriteTextUntilNul(out, sequenceName);
        std::fputc('\n', out);
        foundMatches = true;
      }
      WriteHitLineByPrintf(out, statistics.statistics, motifs.specificities[m],
                           MotifRecord(motifs, m), textSequence.substr(start, motif.width), start);
    };
    if (motif.anchor != kUnanchored) {
      CheckAnchoredPlacement(motif, residues.data(), length, false, report);
    } else {
      WalkStartsByBitmaps(motif, residues.data(), length, bitmaps, report);
    }
  }
}
