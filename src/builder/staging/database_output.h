// SPDX-License-Identifier: MIT
// database_output.h: writes the blocks and the stats file of a database as
// staged files (see staged_files.h).
#ifndef BRISEL_MAKEDB_DATABASE_OUTPUT_H
#define BRISEL_MAKEDB_DATABASE_OUTPUT_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "staging/staged_files.h"

namespace brisel {

// Writes `bytes` as the block "<root><suffix>". Throws BuildError naming the
// block file when it cannot be written.
void WriteStagedBlock(StagedDatabase& database, std::string_view suffix,
                      std::span<const char> bytes);

// Writes `text` into the staged file `path`, which will become `finalPath`.
// Throws BuildError naming the final file when it cannot be written.
void WriteStagedText(const std::string& path, const std::string& finalPath, std::string_view text);

// Writes the stats file "<root>-stats": the three counts on three lines, then
// `more` (whole lines, or nothing).
void WriteStagedStats(StagedDatabase& database, std::uint64_t first, std::uint64_t second,
                      std::uint64_t third, std::string_view more = {});

}  // namespace brisel

#endif  // BRISEL_MAKEDB_DATABASE_OUTPUT_H
