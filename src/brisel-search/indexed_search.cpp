// indexed_search.cpp: the search of the sequence database through its letter
// position lists.
#include "indexed_search.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "hit_report.h"
#include "motif_database.h"
#include "sequence_database.h"

namespace {

constexpr int kLetters = 26;

// Whether the motif's w positions all share a bit with the residues from
// `residues` on.
bool PlacementMatches(const std::uint32_t* residues, const std::uint32_t* motif,
                      std::uint32_t motifWidth) {
  for (std::uint32_t j = 0; j < motifWidth; ++j) {
    if ((residues[j] & motif[j]) == 0) return false;
  }
  return true;
}

}  // namespace

void SmartSearch(motifMappedMemoryADT motifMappedMemoryObject,
                 sequenceMappedMemoryADT sequenceMappedMemoryObject, double cutoffExpectation) {
  const motifMappedMemoryCDT& motifs = *motifMappedMemoryObject;
  const sequenceMappedMemoryCDT& sequences = *sequenceMappedMemoryObject;
  std::uint32_t indexToBitMap[kLetters];
  InitializeIndexToBitMap(indexToBitMap, kLetters);

  for (std::uint32_t sequenceIndex = 0; sequenceIndex < numSequences; ++sequenceIndex) {
    const std::uint32_t sequenceStart = sequences.sequenceIndices[sequenceIndex];
    const std::uint32_t sequenceLength =
        sequences.sequenceIndices[sequenceIndex + 1] - sequenceStart;
    const std::uint32_t* residues = sequences.bitSequences + sequenceStart;
    const char* text = sequences.textSequences + sequenceStart;
    const std::uint32_t* letterLists =
        sequences.offsetIndices + std::uint64_t{kLetters} * sequenceIndex;
    HitStatistics statistics;
    bool foundMatches = false;
    WriteProgressLine(stderr, std::uint64_t{sequenceIndex} + 1);

    for (std::uint32_t motifIndex = 0; motifIndex < numMotifs; ++motifIndex) {
      const std::uint32_t motifWidth = MotifWidth(motifs, motifIndex);
      if (motifWidth > sequenceLength) continue;
      const double specificity = motifs.specificities[motifIndex];
      if (!AddExpectedRandomHits(statistics, sequenceLength, specificity,
                                 motifs.lengthCorrections[motifIndex], cutoffExpectation)) {
        break;
      }
      MultiplyProbabilityOfNoRandomHit(statistics, sequenceLength, motifWidth, specificity);

      const std::uint32_t homingBitLetter = motifs.homingBitLetters[motifIndex];
      const std::uint32_t motifOffset = motifs.offsets[motifIndex];
      const std::uint32_t* motif = motifs.bitMotifs + motifs.bitIndices[motifIndex];
      for (int letterIndex = 0; letterIndex < kLetters; ++letterIndex) {
        if ((homingBitLetter & indexToBitMap[letterIndex]) == 0) continue;
        for (std::uint32_t sequenceOffsetIndex = letterLists[letterIndex];
             sequenceOffsetIndex < letterLists[letterIndex + 1]; ++sequenceOffsetIndex) {
          const std::uint32_t sequenceOffset = sequences.offsets[sequenceOffsetIndex];
          if (sequenceOffset < motifOffset) continue;
          const std::uint64_t start = sequenceOffset - motifOffset;
          if (start + motifWidth > sequenceLength) break;
          if (!PlacementMatches(residues + start, motif, motifWidth)) continue;
          if (!foundMatches) {
            const std::uint32_t nameStart = sequences.nameIndices[sequenceIndex];
            std::fputc('>', stdout);
            WriteTextUntilNul(stdout, {sequences.names + nameStart,
                                       sequences.nameIndices[sequenceIndex + 1] - nameStart});
            std::fputc('\n', stdout);
            foundMatches = true;
          }
          WriteHitLine(stdout, statistics, specificity, MotifRecord(motifs, motifIndex),
                       std::string_view(text + start, motifWidth), start);
        }
      }
    }
  }
}
