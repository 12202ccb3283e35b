// SPDX-License-Identifier: MIT
// scan_search.cpp: the readers of the scan search; each sequence goes through
// the multi-motif engine.
#include "scan_search.h"

#include <cstdio>
#include <string>

#include "engine/search_engine.h"
#include "hit_report.h"
#include "input/line_reader.h"
#include "parallel/parallel_search.h"

void RunSearchOnFastaSequences(Scanner scannerObject, const std::uint32_t* charToBitMap,
                               motifMappedMemoryADT motifMappedMemoryObject,
                               double cutoffExpectation, unsigned threads, OutputFormat format) {
  (void)charToBitMap;  // the engine's letter codes give the same masks
  SearchEngine engine(*motifMappedMemoryObject, cutoffExpectation, SearchKind::kScan, format);
  SearchFastaRecords(engine, scannerObject, threads, stdout, stderr);
}

void RunSearchOnSequence(Scanner scannerObject, const std::uint32_t* charToBitMap,
                         motifMappedMemoryADT motifMappedMemoryObject, double cutoffExpectation,
                         OutputFormat format) {
  std::string textSequence;
  ReadWholeLine(scannerObject, textSequence);
  BruteForceSearch(motifMappedMemoryObject, {}, textSequence, charToBitMap, cutoffExpectation, 0,
                   format);
}

void BruteForceSearch(motifMappedMemoryADT motifMappedMemoryObject, std::string_view sequenceName,
                      std::string_view textSequence, const std::uint32_t* charToBitMap,
                      double cutoffExpectation, int isFasta, OutputFormat format) {
  (void)charToBitMap;
  SearchEngine engine(*motifMappedMemoryObject, cutoffExpectation, SearchKind::kScan, format);
  SearchEngine::Worker worker(engine);
  StreamSpill spill(stdout);
  worker.SetSpill(&spill, kReportFlushBytes);
  std::string out;
  worker.SearchText(sequenceName, textSequence, isFasta != 0, out);
  spill.Spill(out);
}
