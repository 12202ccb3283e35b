// SPDX-License-Identifier: MIT
// database_mapping.cpp: a program's two databases mapped into its records,
// and single block files mapped and released, over the library's database
// room.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/error.h"
#include "brisel.h"
#include "database/database_paths.h"
#include "database/stats_file.h"

std::uint32_t numMotifs = 0;
std::uint32_t numMotifBits = 0;
std::uint32_t numMotifChars = 0;
std::uint32_t numSequences = 0;
std::uint32_t numSequenceNameChars = 0;
std::uint32_t numSequenceBits = 0;

namespace {

[[noreturn]] void ExitWithDatabaseFault(const brisel::Error& error) {
  std::fputs(brisel::DatabaseFaultReport(error, "brisel-search").c_str(), stderr);
  std::exit(1);
}

brisel::StatsCounts ReadStatsFileOrExit(const char* filename) {
  try {
    return brisel::ReadStatsCounts(filename);
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
}

void SetMotifCounts(const brisel::StatsCounts& counts) {
  numMotifs = counts[brisel::kMotifsCount];
  numMotifBits = counts[brisel::kMotifBitsCount];
  numMotifChars = counts[brisel::kMotifCharsCount];
}

void SetSequenceCounts(const brisel::StatsCounts& counts) {
  numSequences = counts[brisel::kSequencesCount];
  numSequenceNameChars = counts[brisel::kNameCharsCount];
  numSequenceBits = counts[brisel::kSequenceBitsCount];
}

const void* MapOrExit(const char* mappedFilename, std::uint64_t blockLength,
                      brisel::BlockElement element, std::uint64_t* fileBytes) {
  try {
    const brisel::MappedBlock block = brisel::MapBlockFile(mappedFilename, blockLength, element);
    if (fileBytes != nullptr) *fileBytes = block.fileBytes;
    return block.view;
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
}

}  // namespace

void InitializeMotifGlobalVariables(const char* filename) {
  SetMotifCounts(ReadStatsFileOrExit(filename));
}

void InitializeSequenceGlobalVariables(const char* filename) {
  SetSequenceCounts(ReadStatsFileOrExit(filename));
}

void MapMotifBlocksToMemory(int useLocalPath, motifMappedMemoryADT motifMappedMemoryObject,
                            const char* motifDatabase) {
  try {
    brisel::MapMotifDatabase(
        brisel::DatabaseRootPath(useLocalPath, brisel::DatabaseKind::kMotifs, motifDatabase),
        *motifMappedMemoryObject);
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
  SetMotifCounts(motifMappedMemoryObject->counts);
}

void MapSequenceBlocksToMemory(int useLocalPath, sequenceMappedMemoryADT sequenceMappedMemoryObject,
                               const char* sequenceDatabase) {
  try {
    brisel::MapSequenceDatabase(
        brisel::DatabaseRootPath(useLocalPath, brisel::DatabaseKind::kSequences, sequenceDatabase),
        *sequenceMappedMemoryObject);
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
  SetSequenceCounts(sequenceMappedMemoryObject->counts);
}

void UnmapMotifBlocksFromMemory(motifMappedMemoryADT motifMappedMemoryObject) {
  const motifMappedMemoryCDT& db = *motifMappedMemoryObject;
  brisel::UnmapBlocks(brisel::kMotifBlocks, db);
  if (db.anchors != nullptr)
    brisel::ReleaseBlockView(db.anchors, db.counts[brisel::kMotifsCount], 1);
}

void UnmapSequenceBlocksFromMemory(sequenceMappedMemoryADT sequenceMappedMemoryObject) {
  brisel::UnmapBlocks(brisel::kSequenceBlocks, *sequenceMappedMemoryObject);
}

const double* MapDoublesBlock(const char* mappedFilename, std::uint64_t blockLength,
                              std::uint64_t* fileBytes) {
  return static_cast<const double*>(
      MapOrExit(mappedFilename, blockLength, brisel::BlockElement::kDoubles, fileBytes));
}

const std::uint32_t* MapUnsignedLongsBlock(const char* mappedFilename, std::uint64_t blockLength,
                                           std::uint64_t* fileBytes) {
  return static_cast<const std::uint32_t*>(
      MapOrExit(mappedFilename, blockLength, brisel::BlockElement::kUnsignedLongs, fileBytes));
}

const char* MapCharsBlock(const char* mappedFilename, std::uint64_t blockLength,
                          std::uint64_t* fileBytes) {
  return static_cast<const char*>(
      MapOrExit(mappedFilename, blockLength, brisel::BlockElement::kChars, fileBytes));
}

void UnmapBlock(const void* view, std::uint64_t blockLength, std::size_t elementWidth) {
  brisel::ReleaseBlockView(view, blockLength, elementWidth);
}
