// indexed_search.cpp: the search of every sequence of the sequence database.
#include "indexed_search.h"

#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/search_engine.h"
#include "hit_report.h"
#include "sequence_database.h"

void SmartSearch(motifMappedMemoryADT motifMappedMemoryObject,
                 sequenceMappedMemoryADT sequenceMappedMemoryObject, double cutoffExpectation) {
  SearchEngine engine(*motifMappedMemoryObject, cutoffExpectation, SearchKind::kIndexed);
  SearchEngine::Worker worker(engine);
  std::string out;
  for (std::uint32_t n = 0; n < numSequences; ++n) {
    WriteProgressLine(stderr, std::uint64_t{n} + 1);
    worker.SearchDatabaseSequence(*sequenceMappedMemoryObject, n, out);
    if (out.size() >= kReportFlushBytes) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}
