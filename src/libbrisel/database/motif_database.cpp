// SPDX-License-Identifier: MIT
// motif_database.cpp: maps and releases the blocks of a motif database.
#include "database/motif_database.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "database/database_paths.h"
#include "database/stats_file.h"

namespace brisel {

void MapMotifDatabase(std::string_view rootPath, MotifViews& db) {
  db = {};
  db.counts = ReadStatsCounts(DatabaseFilePath(rootPath, kStatsSuffix));
  MapBlocks(rootPath, kMotifBlocks, db);

  // The anchors block is absent only when no file of its name exists; a file
  // that exists but cannot be mapped is a fault like any other block.
  const std::string anchors = DatabaseFilePath(rootPath, kAnchorsSuffix);
  struct stat status {};
  if (::lstat(anchors.c_str(), &status) == 0 || errno != ENOENT) {
    try {
      const MappedBlock file = MapBlockFile(anchors, db.counts[kMotifsCount], BlockElement::kChars);
      db.anchors = static_cast<const std::uint8_t*>(file.view);
      db.anchorsFileBytes = file.fileBytes;
    } catch (...) {
      UnmapBlocks(kMotifBlocks, db);
      db = {};
      throw;
    }
  }
}

void UnmapMotifDatabase(MotifViews& db) {
  UnmapBlocks(kMotifBlocks, db);
  if (db.anchors != nullptr) ReleaseBlockView(db.anchors, db.counts[kMotifsCount], 1);
  db = {};
}

}  // namespace brisel
