// SPDX-License-Identifier: MIT
// Broken preconditions end the process with the C library's assertion report,
// naming the expression, the file, the line and the operation.
#include <gtest/gtest.h>

#include "scanner.h"

namespace {

TEST(ScannerAssertionDeathTest, NullHandlesEndTheProcess) {
  char buffer[4];
  EXPECT_DEATH(ReadNextToken(nullptr, buffer, 4),
               "scanner\\.cpp:[0-9]+: ReadNextToken: Assertion `_scanner != \\(\\(void \\*\\)0\\)' "
               "failed\\.");
  EXPECT_DEATH(SkipOver(nullptr, " "), "SkipOver: Assertion `_scanner != \\(\\(void \\*\\)0\\)'");
  EXPECT_DEATH(FreeScanner(nullptr), "FreeScanner: Assertion `_scanner != \\(\\(void \\*\\)0\\)'");
}

}  // namespace
