// SPDX-License-Identifier: MIT
// database_paths.h: where the files of a database live.
//
// A database is named by a plain name. Without the local-path flag its root path
// is the fixed data directory of its kind followed directly by the name (no
// separator is inserted and the name is not normalised); with the flag the name
// is the root path itself, relative to the working directory or absolute. Each
// file of a database is its root path followed by a suffix: "-stats" for the
// stats file, "-<block>.bin" for a block. Names of any length are allowed.
#ifndef BRISEL_DATABASE_PATHS_H
#define BRISEL_DATABASE_PATHS_H

#include <string>
#include <string_view>

namespace brisel {

inline constexpr std::string_view kMotifDataDirectory =
    "/usr/share/corvane/lumisca_brisel/brisels/";
inline constexpr std::string_view kSequenceDataDirectory =
    "/usr/share/corvane/lumisca_brisel/sequences/";
inline constexpr std::string_view kStatsSuffix = "-stats";

enum class DatabaseKind { kMotifs, kSequences };

std::string DatabaseRootPath(int useLocalPath, DatabaseKind kind, std::string_view name);

inline std::string DatabaseFilePath(std::string_view rootPath, std::string_view suffix) {
  std::string path(rootPath);
  path += suffix;
  return path;
}

}  // namespace brisel

#endif  // BRISEL_DATABASE_PATHS_H
