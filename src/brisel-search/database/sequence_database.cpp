// SPDX-License-Identifier: MIT
// sequence_database.cpp: maps and releases the seven blocks of a sequence
// database.
#include "database/sequence_database.h"

#include <string>

#include "database/database_paths.h"
#include "database/stats_file.h"
#include "error.h"

std::uint32_t numSequences = 0;
std::uint32_t numSequenceNameChars = 0;
std::uint32_t numSequenceBits = 0;

namespace {

void SetGlobalCounts(const StatsCounts& counts) {
  numSequences = counts[kSequencesCount];
  numSequenceNameChars = counts[kNameCharsCount];
  numSequenceBits = counts[kSequenceBitsCount];
}

}  // namespace

void MapSequenceDatabase(std::string_view rootPath, sequenceMappedMemoryCDT& db) {
  db = {};
  db.counts = ReadStatsCounts(DatabaseFilePath(rootPath, kStatsSuffix));
  MapBlocks(rootPath, kSequenceBlocks, db);
}

void UnmapSequenceDatabase(sequenceMappedMemoryCDT& db) {
  UnmapBlocks(kSequenceBlocks, db);
  db = {};
}

void InitializeSequenceGlobalVariables(const char* filename) {
  SetGlobalCounts(ReadStatsFileOrExit(filename));
}

void MapSequenceBlocksToMemory(int useLocalPath, sequenceMappedMemoryADT sequenceMappedMemoryObject,
                               const char* sequenceDatabase) {
  try {
    MapSequenceDatabase(DatabaseRootPath(useLocalPath, DatabaseKind::kSequences, sequenceDatabase),
                        *sequenceMappedMemoryObject);
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
  SetGlobalCounts(sequenceMappedMemoryObject->counts);
}

void UnmapSequenceBlocksFromMemory(sequenceMappedMemoryADT sequenceMappedMemoryObject) {
  UnmapBlocks(kSequenceBlocks, *sequenceMappedMemoryObject);
}
