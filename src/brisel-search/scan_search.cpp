// scan_search.cpp: the readers of the scan search; each sequence goes through
// the multi-motif engine.
#include "scan_search.h"

#include <cstdio>
#include <string>

#include "engine/search_engine.h"
#include "hit_report.h"
#include "line_reader.h"

namespace {

void Flush(std::string& out, std::size_t atLeast) {
  if (out.size() < atLeast) return;
  std::fwrite(out.data(), 1, out.size(), stdout);
  out.clear();
}

}  // namespace

void RunSearchOnFastaSequences(Scanner scannerObject, const std::uint32_t* charToBitMap,
                               motifMappedMemoryADT motifMappedMemoryObject,
                               double cutoffExpectation) {
  (void)charToBitMap;  // the engine's letter codes give the same masks
  SearchEngine engine(*motifMappedMemoryObject, cutoffExpectation, SearchKind::kScan);
  SearchEngine::Worker worker(engine);
  std::string sequenceName;
  std::string textSequence;
  std::string out;
  for (std::uint64_t recordCount = 1; ReadWholeLine(scannerObject, sequenceName); ++recordCount) {
    WriteProgressLine(stderr, recordCount);
    ReadWholeLine(scannerObject, textSequence);
    worker.SearchText(sequenceName, textSequence, true, out);
    Flush(out, kReportFlushBytes);
  }
  Flush(out, 0);
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
  (void)charToBitMap;
  SearchEngine engine(*motifMappedMemoryObject, cutoffExpectation, SearchKind::kScan);
  SearchEngine::Worker worker(engine);
  std::string out;
  worker.SearchText(sequenceName, textSequence, isFasta != 0, out);
  Flush(out, 0);
}
