// SPDX-License-Identifier: MIT
// Root paths of databases, with and without -l.
#include "database/database_paths.h"

#include <gtest/gtest.h>

using namespace brisel;

namespace {

TEST(DatabaseRootPath, UnderTheDataDirectoriesTheNameIsAppendedUnchanged) {
  EXPECT_EQ(DatabaseRootPath(0, DatabaseKind::kMotifs, "tallowmere"),
            "/usr/share/corvane/lumisca_brisel/brisels/tallowmere");
  EXPECT_EQ(DatabaseRootPath(0, DatabaseKind::kSequences, "sprot"),
            "/usr/share/corvane/lumisca_brisel/sequences/sprot");
  EXPECT_EQ(DatabaseRootPath(0, DatabaseKind::kSequences, "sub/db"),
            "/usr/share/corvane/lumisca_brisel/sequences/sub/db");
  EXPECT_EQ(DatabaseFilePath(DatabaseRootPath(0, DatabaseKind::kMotifs, ""), kStatsSuffix),
            "/usr/share/corvane/lumisca_brisel/brisels/-stats");
}

TEST(DatabaseRootPath, WithLocalPathsTheNameIsTheRoot) {
  EXPECT_EQ(DatabaseRootPath(1, DatabaseKind::kMotifs, "db/sites"), "db/sites");
  EXPECT_EQ(DatabaseRootPath(1, DatabaseKind::kSequences, "/data/sprot"), "/data/sprot");
  const std::string longName(5000, 'x');
  EXPECT_EQ(DatabaseFilePath(DatabaseRootPath(1, DatabaseKind::kMotifs, longName),
                             "-lengthCorrections.bin"),
            longName + "-lengthCorrections.bin");
}

}  // namespace
