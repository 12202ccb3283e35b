// SPDX-License-Identifier: MIT
// database_paths.cpp: forms the root path of a database.
#include "database/database_paths.h"

namespace brisel {

std::string DatabaseRootPath(int useLocalPath, DatabaseKind kind, std::string_view name) {
  std::string root;
  if (useLocalPath == 0) {
    root = kind == DatabaseKind::kMotifs ? kMotifDataDirectory : kSequenceDataDirectory;
  }
  root += name;
  return root;
}

}  // namespace brisel
