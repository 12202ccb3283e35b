// SPDX-License-Identifier: MIT
// sequence_database.cpp: maps and releases the seven blocks of a sequence
// database.
#include "database/sequence_database.h"

#include <string>

#include "database/database_paths.h"
#include "database/stats_file.h"

namespace brisel {

void MapSequenceDatabase(std::string_view rootPath, SequenceViews& db) {
  db = {};
  db.counts = ReadStatsCounts(DatabaseFilePath(rootPath, kStatsSuffix));
  MapBlocks(rootPath, kSequenceBlocks, db);
}

void UnmapSequenceDatabase(SequenceViews& db) {
  UnmapBlocks(kSequenceBlocks, db);
  db = {};
}

}  // namespace brisel
