// indexed_search.cpp: the search of the sequence database through its letter
// position lists.
#include "indexed_search.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "hit_report.h"
#include "motif_database.h"
#include "motif_matching.h"
#include "sequence_database.h"

namespace {

constexpr int kLetters = 26;

// One sequence of the database as the search sees it.
struct SequenceView {
  std::uint32_t index;
  std::uint32_t length;
  const std::uint32_t* residues;
  const char* text;
  HitStatistics statistics;
  bool foundMatches = false;
};

// Writes a hit: the sequence's header before its first hit, then the hit line.
// Kept out of line so that the walk, where hits are rare, holds its values in
// registers.
[[gnu::noinline, gnu::cold]] void ReportHit(SequenceView& sequence,
                                            const motifMappedMemoryCDT& motifs,
                                            const sequenceMappedMemoryCDT& sequences,
                                            std::uint32_t motifIndex, std::uint64_t start) {
  if (!sequence.foundMatches) {
    const std::uint32_t nameStart = sequences.nameIndices[sequence.index];
    std::fputc('>', stdout);
    WriteTextUntilNul(stdout, {sequences.names + nameStart,
                               sequences.nameIndices[sequence.index + 1] - nameStart});
    std::fputc('\n', stdout);
    sequence.foundMatches = true;
  }
  CatchUpProbability(sequence.statistics, motifs, sequence.length, motifIndex);
  const std::uint32_t width = MotifWidth(motifs, motifIndex);
  WriteHitLine(stdout, sequence.statistics, motifs.specificities[motifIndex],
               MotifRecord(motifs, motifIndex), std::string_view(sequence.text + start, width),
               start);
}

}  // namespace

void SmartSearch(motifMappedMemoryADT motifMappedMemoryObject,
                 sequenceMappedMemoryADT sequenceMappedMemoryObject, double cutoffExpectation) {
  const motifMappedMemoryCDT& motifs = *motifMappedMemoryObject;
  const sequenceMappedMemoryCDT& sequences = *sequenceMappedMemoryObject;
  const std::vector<CheckOrder> checkOrders = MotifCheckOrders(motifs, true);
  const std::uint32_t motifCount = numMotifs;
  const std::uint32_t* const positionLists = sequences.offsets;

  for (std::uint32_t sequenceIndex = 0; sequenceIndex < numSequences; ++sequenceIndex) {
    const std::uint32_t sequenceStart = sequences.sequenceIndices[sequenceIndex];
    SequenceView sequence{sequenceIndex,
                          sequences.sequenceIndices[sequenceIndex + 1] - sequenceStart,
                          sequences.bitSequences + sequenceStart,
                          sequences.textSequences + sequenceStart,
                          {}};
    const std::uint32_t sequenceLength = sequence.length;
    const std::uint32_t* const residues = sequence.residues;
    const std::uint32_t* const letterLists =
        sequences.offsetIndices + std::uint64_t{kLetters} * sequenceIndex;
    WriteProgressLine(stderr, std::uint64_t{sequenceIndex} + 1);

    for (std::uint32_t motifIndex = 0; motifIndex < motifCount; ++motifIndex) {
      const std::uint32_t motifWidth = MotifWidth(motifs, motifIndex);
      if (motifWidth > sequenceLength) continue;
      if (!AddExpectedRandomHits(sequence.statistics, sequenceLength,
                                 motifs.specificities[motifIndex],
                                 motifs.lengthCorrections[motifIndex], cutoffExpectation)) {
        break;
      }

      // The homing letters from 'A' to 'Z'; bits 26 to 31 name no letter. Each
      // listed position p at or after the homing position h places the motif at
      // p - h; the walk of a list ends at the first placement past the end.
      std::uint32_t homingBitLetter = motifs.homingBitLetters[motifIndex] & kAllLettersMask;
      const std::uint32_t motifOffset = motifs.offsets[motifIndex];
      const std::uint32_t* const motif = motifs.bitMotifs + motifs.bitIndices[motifIndex];
      const CheckOrder order = checkOrders[motifIndex];
      const std::uint32_t first = order.first;
      const std::uint32_t firstMask = motif[first];
      for (; homingBitLetter != 0; homingBitLetter &= homingBitLetter - 1) {
        const int letterIndex = std::countr_zero(homingBitLetter);
        const std::uint32_t listEnd = letterLists[letterIndex + 1];
        for (std::uint32_t entry = letterLists[letterIndex]; entry < listEnd; ++entry) {
          const std::uint32_t sequenceOffset = positionLists[entry];
          if (sequenceOffset < motifOffset) continue;
          const std::uint64_t start = sequenceOffset - motifOffset;
          if (start + motifWidth > sequenceLength) break;
          if ((residues[start + first] & firstMask) == 0) continue;
          if (!PlacementMatches(residues + start, motif, motifWidth, order)) continue;
          ReportHit(sequence, motifs, sequences, motifIndex, start);
        }
      }
    }
  }
}
