// SPDX-License-Identifier: MIT
// database_output.cpp: staged block and stats files.
#include "staging/database_output.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "database/block_files.h"
#include "database/database_paths.h"
#include "staging/build_error.h"

namespace brisel {

void WriteStagedBlock(StagedDatabase& database, std::string_view suffix,
                      std::span<const char> bytes) {
  WriteStagedText(database.Stage(suffix), database.FinalPath(suffix), {bytes.data(), bytes.size()});
}

void WriteStagedText(const std::string& path, const std::string& finalPath, std::string_view text) {
  if (const int error = WriteBlockFile(path, text)) {
    throw BuildError(finalPath + ": cannot write: " + std::strerror(error));
  }
}

void WriteStagedStats(StagedDatabase& database, std::uint64_t first, std::uint64_t second,
                      std::uint64_t third, std::string_view more) {
  const std::string text = std::to_string(first) + "\n" + std::to_string(second) + "\n" +
                           std::to_string(third) + "\n" + std::string(more);
  WriteStagedText(database.Stage(kStatsSuffix), database.FinalPath(kStatsSuffix), text);
}

}  // namespace brisel
