// scan_search.cpp: the readers of the scan search and the search of one
// sequence.
#include "scan_search.h"

#include <cstdio>
#include <string>
#include <vector>

#include "hit_report.h"
#include "line_reader.h"
#include "motif_database.h"

void RunSearchOnFastaSequences(Scanner scannerObject, const std::uint32_t* charToBitMap,
                               motifMappedMemoryADT motifMappedMemoryObject,
                               double cutoffExpectation) {
  std::string sequenceName;
  std::string textSequence;
  for (std::uint64_t recordCount = 1; ReadWholeLine(scannerObject, sequenceName); ++recordCount) {
    WriteProgressLine(stderr, recordCount);
    ReadWholeLine(scannerObject, textSequence);
    BruteForceSearch(motifMappedMemoryObject, sequenceName, textSequence, charToBitMap,
                     cutoffExpectation, 1);
  }
}

void RunSearchOnSequence(Scanner scannerObject, const std::uint32_t* charToBitMap,
                         motifMappedMemoryADT motifMappedMemoryObject, double cutoffExpectation) {
  std::string textSequence;
  ReadWholeLine(scannerObject, textSequence);
  BruteForceSearch(motifMappedMemoryObject, {}, textSequence, charToBitMap, cutoffExpectation, 0);
}

void BruteForceSearch(motifMappedMemoryADT motifMappedMemoryObject, std::string_view sequenceName,
                      std::string_view textSequence, const std::uint32_t* charToBitMap,
                      double cutoffExpectation, int isFasta) {
  const motifMappedMemoryCDT& db = *motifMappedMemoryObject;
  const std::uint64_t sequenceLength = textSequence.size();

  // The letter masks of the sequence, kept between calls so that only a longer
  // sequence than any before allocates.
  static std::vector<std::uint32_t> bitSequence;
  bitSequence.resize(sequenceLength);
  for (std::uint64_t i = 0; i < sequenceLength; ++i) {
    bitSequence[i] = CharToMask(charToBitMap, static_cast<unsigned char>(textSequence[i]));
  }

  HitStatistics statistics;
  bool foundMatches = false;
  for (std::uint32_t motifIndex = 0; motifIndex < numMotifs; ++motifIndex) {
    const std::uint32_t motifWidth = MotifWidth(db, motifIndex);
    if (motifWidth > sequenceLength) continue;
    const double specificity = db.specificities[motifIndex];
    if (!AddExpectedRandomHits(statistics, sequenceLength, specificity,
                               db.lengthCorrections[motifIndex], cutoffExpectation)) {
      return;
    }
    MultiplyProbabilityOfNoRandomHit(statistics, sequenceLength, motifWidth, specificity);

    const std::uint32_t* motif = db.bitMotifs + db.bitIndices[motifIndex];
    for (std::uint64_t i = 0; i + motifWidth <= sequenceLength; ++i) {
      std::uint32_t j = 0;
      while (j < motifWidth && (bitSequence[i + j] & motif[j]) != 0)
        ++j;
      if (j < motifWidth) continue;
      if (!foundMatches && isFasta != 0) {
        WriteTextUntilNul(stdout, sequenceName);
        std::fputc('\n', stdout);
        foundMatches = true;
      }
      WriteHitLine(stdout, statistics, specificity, MotifRecord(db, motifIndex),
                   textSequence.substr(i, motifWidth), i);
    }
  }
}
