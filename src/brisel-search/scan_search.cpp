// scan_search.cpp: the readers of the scan search and the search of one
// sequence.
#include "scan_search.h"

#include <cstdio>
#include <string>
#include <vector>

#include "hit_report.h"
#include "line_reader.h"
#include "motif_database.h"
#include "motif_matching.h"

namespace {

// What the search of one sequence needs besides its inputs, kept for a whole
// run so that only a sequence longer than any before allocates: the letter
// masks of the sequence and their letter bitmaps, and each motif's check order.
struct ScanWorkspace {
  explicit ScanWorkspace(const motifMappedMemoryCDT& motifs)
      : checkOrders(MotifCheckOrders(motifs, false)) {}

  std::vector<std::uint32_t> bitSequence;
  LetterBitmaps letterBitmaps;
  const std::vector<CheckOrder> checkOrders;
};

void SearchSequence(ScanWorkspace& workspace, const motifMappedMemoryCDT& db,
                    std::string_view sequenceName, std::string_view textSequence,
                    const std::uint32_t* charToBitMap, double cutoffExpectation, int isFasta) {
  const std::uint64_t sequenceLength = textSequence.size();
  std::vector<std::uint32_t>& bitSequence = workspace.bitSequence;
  bitSequence.resize(sequenceLength);
  for (std::uint64_t i = 0; i < sequenceLength; ++i) {
    bitSequence[i] = CharToMask(charToBitMap, static_cast<unsigned char>(textSequence[i]));
  }
  workspace.letterBitmaps.Build(bitSequence.data(), sequenceLength);

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

    // Every start at which the first position to test matches, in increasing
    // order; each is then tested in full.
    const std::uint32_t* motif = db.bitMotifs + db.bitIndices[motifIndex];
    const CheckOrder order = workspace.checkOrders[motifIndex];
    workspace.letterBitmaps.ForEachStartMatching(
        motif[order.first], order.first, sequenceLength - motifWidth, [&](std::uint64_t i) {
          if (!PlacementMatches(bitSequence.data() + i, motif, motifWidth, order)) return;
          if (!foundMatches && isFasta != 0) {
            WriteTextUntilNul(stdout, sequenceName);
            std::fputc('\n', stdout);
            foundMatches = true;
          }
          CatchUpProbability(statistics, db, sequenceLength, motifIndex);
          WriteHitLine(stdout, statistics, specificity, MotifRecord(db, motifIndex),
                       textSequence.substr(i, motifWidth), i);
        });
  }
}

}  // namespace

void RunSearchOnFastaSequences(Scanner scannerObject, const std::uint32_t* charToBitMap,
                               motifMappedMemoryADT motifMappedMemoryObject,
                               double cutoffExpectation) {
  ScanWorkspace workspace(*motifMappedMemoryObject);
  std::string sequenceName;
  std::string textSequence;
  for (std::uint64_t recordCount = 1; ReadWholeLine(scannerObject, sequenceName); ++recordCount) {
    WriteProgressLine(stderr, recordCount);
    ReadWholeLine(scannerObject, textSequence);
    SearchSequence(workspace, *motifMappedMemoryObject, sequenceName, textSequence, charToBitMap,
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
  ScanWorkspace workspace(*motifMappedMemoryObject);
  SearchSequence(workspace, *motifMappedMemoryObject, sequenceName, textSequence, charToBitMap,
                 cutoffExpectation, isFasta);
}
