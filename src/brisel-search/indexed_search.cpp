// SPDX-License-Identifier: MIT
// indexed_search.cpp: the search of every sequence of the sequence database.
#include "indexed_search.h"

#include <cstdio>

#include "engine/search_engine.h"
#include "parallel/parallel_search.h"
#include "database/sequence_database.h"

void SmartSearch(motifMappedMemoryADT motifMappedMemoryObject,
                 sequenceMappedMemoryADT sequenceMappedMemoryObject, double cutoffExpectation,
                 unsigned threads, OutputFormat format) {
  SearchEngine engine(*motifMappedMemoryObject, cutoffExpectation, SearchKind::kIndexed, format);
  SearchDatabaseSequences(engine, *sequenceMappedMemoryObject, numSequences, threads, stdout,
                          stderr);
}
