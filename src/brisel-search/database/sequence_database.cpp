// SPDX-License-Identifier: MIT
// sequence_database.cpp: maps and releases the seven blocks of a sequence
// database.
#include "database/sequence_database.h"

#include <string>

#include "database/database_paths.h"
#include "database/stats_file.h"

std::uint32_t numSequences = 0;
std::uint32_t numSequenceNameChars = 0;
std::uint32_t numSequenceBits = 0;

std::uint64_t SequenceBlockLength(const SequenceBlock& block) {
  std::uint64_t count = 0;
  switch (block.count) {
    case SequenceCount::kSequences:
      count = numSequences;
      break;
    case SequenceCount::kNameChars:
      count = numSequenceNameChars;
      break;
    case SequenceCount::kSequenceBits:
      count = numSequenceBits;
      break;
  }
  return count * block.multiplier + block.extra;
}

void InitializeSequenceGlobalVariables(const char* filename) {
  const StatsCounts counts = ReadStatsFileOrExit(filename);
  numSequences = counts[0];
  numSequenceNameChars = counts[1];
  numSequenceBits = counts[2];
}

void MapSequenceBlocksToMemory(int useLocalPath, sequenceMappedMemoryADT sequenceMappedMemoryObject,
                               const char* sequenceDatabase) {
  const std::string root =
      DatabaseRootPath(useLocalPath, DatabaseKind::kSequences, sequenceDatabase);
  InitializeSequenceGlobalVariables(DatabaseFilePath(root, kStatsSuffix).c_str());

  sequenceMappedMemoryCDT& db = *sequenceMappedMemoryObject;
  const auto path = [&](std::size_t b) {
    return DatabaseFilePath(root, kSequenceBlocks[b].suffix);
  };
  const auto length = [&](std::size_t b) { return SequenceBlockLength(kSequenceBlocks[b]); };
  auto* bytes = db.blockFileBytes.data();
  db.names = MapCharsBlock(path(0).c_str(), length(0), &bytes[0]);
  db.nameIndices = MapUnsignedLongsBlock(path(1).c_str(), length(1), &bytes[1]);
  db.textSequences = MapCharsBlock(path(2).c_str(), length(2), &bytes[2]);
  db.bitSequences = MapUnsignedLongsBlock(path(3).c_str(), length(3), &bytes[3]);
  db.sequenceIndices = MapUnsignedLongsBlock(path(4).c_str(), length(4), &bytes[4]);
  db.offsets = MapUnsignedLongsBlock(path(5).c_str(), length(5), &bytes[5]);
  db.offsetIndices = MapUnsignedLongsBlock(path(6).c_str(), length(6), &bytes[6]);
}

void UnmapSequenceBlocksFromMemory(sequenceMappedMemoryADT sequenceMappedMemoryObject) {
  const sequenceMappedMemoryCDT& db = *sequenceMappedMemoryObject;
  const void* views[] = {db.names,           db.nameIndices, db.textSequences, db.bitSequences,
                         db.sequenceIndices, db.offsets,     db.offsetIndices};
  for (std::size_t b = 0; b < kSequenceBlocks.size(); ++b) {
    UnmapBlock(views[b], SequenceBlockLength(kSequenceBlocks[b]), kSequenceBlocks[b].elementWidth);
  }
}
