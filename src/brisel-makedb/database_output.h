// SPDX-License-Identifier: MIT
// database_output.h: writes the blocks and the stats file of a database as
// staged files (see staged_files.h), through the block writers.
#ifndef BRISEL_MAKEDB_DATABASE_OUTPUT_H
#define BRISEL_MAKEDB_DATABASE_OUTPUT_H

#include <cstdint>
#include <string>
#include <string_view>

#include "darray.h"
#include "database/block_files.h"
#include "staged_files.h"

// Writes `array` as the block "<root><suffix>" of `element`s. Throws BuildError
// naming the block file when it cannot be written.
void WriteStagedBlock(StagedDatabase& database, std::string_view suffix, DArray array,
                      BlockElement element);

// Writes `text` into the staged file `path`, which will become `finalPath`.
// Throws BuildError naming the final file when it cannot be written.
void WriteStagedText(const std::string& path, const std::string& finalPath, std::string_view text);

// Writes the stats file "<root>-stats": the three counts on three lines.
void WriteStagedStats(StagedDatabase& database, std::uint64_t first, std::uint64_t second,
                      std::uint64_t third);

#endif  // BRISEL_MAKEDB_DATABASE_OUTPUT_H
