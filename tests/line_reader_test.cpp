// SPDX-License-Identifier: MIT
// Whole lines of any length, joined from the scanner's tokens.
#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::FILE* fp = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), fp);
  std::rewind(fp);
  ScannerPtr scanner(NewScannerFromFile(fp, "\n", 1));
  std::vector<std::string> lines;
  std::string line;
  while (ReadWholeLine(scanner.get(), line))
    lines.push_back(line);
  EXPECT_TRUE(line.empty());
  return lines;
}

using Strings = std::vector<std::string>;

TEST(LineReader, ReadsNonEmptyLines) {
  EXPECT_EQ(Lines("\n>a\r\n\nACD\n\n"), (Strings{">a\r", "ACD"}));
  EXPECT_EQ(Lines(""), Strings{});
}

TEST(LineReader, JoinsLinesLongerThanOneToken) {
  const std::string longA(200000, 'A');
  const std::string exact(65535, 'B');  // exactly one full token
  const std::string twice(131070, 'C');
  EXPECT_EQ(Lines(longA + "\nxy\n" + exact + "\n" + twice + "\n\n\nz"),
            (Strings{longA, "xy", exact, twice, "z"}));
  EXPECT_EQ(Lines(exact), (Strings{exact})) << "a full token at the end of the input";
}

TEST(LineReader, TextEndsAtTheFirstNulButTheWholeLineIsConsumed) {
  EXPECT_EQ(Lines(std::string("ab\0cd\nef\n", 9)), (Strings{"ab", "ef"}));
  // A NUL right after a full token is consumed by the look-ahead.
  const std::string full(65535, 'D');
  EXPECT_EQ(Lines(full + std::string("\0\0tail\nnext\n", 12)), (Strings{full, "next"}));
  EXPECT_EQ(Lines(full + std::string("\0\nnext\n", 7)), (Strings{full, "next"}));
  EXPECT_EQ(Lines(std::string("\0x\ny", 4)), (Strings{"", "y"}));
}

}  // namespace
