// SPDX-License-Identifier: MIT
// motif_database.cpp: maps and releases the blocks of a motif database.
#include "database/motif_database.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "database/database_paths.h"
#include "database/stats_file.h"

std::uint32_t numMotifs = 0;
std::uint32_t numMotifBits = 0;
std::uint32_t numMotifChars = 0;

std::uint64_t MotifBlockLength(const MotifBlock& block) {
  std::uint64_t count = 0;
  switch (block.count) {
    case MotifCount::kMotifs:
      count = numMotifs;
      break;
    case MotifCount::kMotifBits:
      count = numMotifBits;
      break;
    case MotifCount::kMotifChars:
      count = numMotifChars;
      break;
  }
  return count + block.extra;
}

void InitializeMotifGlobalVariables(const char* filename) {
  const StatsCounts counts = ReadStatsFileOrExit(filename);
  numMotifs = counts[0];
  numMotifBits = counts[1];
  numMotifChars = counts[2];
}

void MapMotifBlocksToMemory(int useLocalPath, motifMappedMemoryADT motifMappedMemoryObject,
                            const char* motifDatabase) {
  const std::string root = DatabaseRootPath(useLocalPath, DatabaseKind::kMotifs, motifDatabase);
  InitializeMotifGlobalVariables(DatabaseFilePath(root, kStatsSuffix).c_str());

  motifMappedMemoryCDT& db = *motifMappedMemoryObject;
  const auto path = [&](std::size_t b) { return DatabaseFilePath(root, kMotifBlocks[b].suffix); };
  const auto length = [&](std::size_t b) { return MotifBlockLength(kMotifBlocks[b]); };
  auto* bytes = db.blockFileBytes.data();
  db.logSpecificities = MapDoublesBlock(path(0).c_str(), length(0), &bytes[0]);
  db.specificities = MapDoublesBlock(path(1).c_str(), length(1), &bytes[1]);
  db.lengthCorrections = MapDoublesBlock(path(2).c_str(), length(2), &bytes[2]);
  db.bitMotifs = MapUnsignedLongsBlock(path(3).c_str(), length(3), &bytes[3]);
  db.bitIndices = MapUnsignedLongsBlock(path(4).c_str(), length(4), &bytes[4]);
  db.homingBitLetters = MapUnsignedLongsBlock(path(5).c_str(), length(5), &bytes[5]);
  db.offsets = MapUnsignedLongsBlock(path(6).c_str(), length(6), &bytes[6]);
  db.records = MapCharsBlock(path(7).c_str(), length(7), &bytes[7]);
  db.recordIndices = MapUnsignedLongsBlock(path(8).c_str(), length(8), &bytes[8]);

  // The anchors block is absent only when no file of its name exists; a file
  // that exists but cannot be mapped ends the run like any other block.
  const std::string anchors = DatabaseFilePath(root, kAnchorsSuffix);
  struct stat status {};
  if (::lstat(anchors.c_str(), &status) == 0 || errno != ENOENT) {
    db.anchors = reinterpret_cast<const std::uint8_t*>(
        MapCharsBlock(anchors.c_str(), numMotifs, &db.anchorsFileBytes));
  }
}

void UnmapMotifBlocksFromMemory(motifMappedMemoryADT motifMappedMemoryObject) {
  const motifMappedMemoryCDT& db = *motifMappedMemoryObject;
  const void* views[] = {db.logSpecificities, db.specificities, db.lengthCorrections,
                         db.bitMotifs,        db.bitIndices,    db.homingBitLetters,
                         db.offsets,          db.records,       db.recordIndices};
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b) {
    UnmapBlock(views[b], MotifBlockLength(kMotifBlocks[b]), kMotifBlocks[b].elementWidth);
  }
  if (db.anchors != nullptr) UnmapBlock(db.anchors, numMotifs, 1);
}
