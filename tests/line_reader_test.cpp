// SPDX-License-Identifier: MIT
// The non-empty lines of a file, of any length, their text up to a NUL.
#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace brisel;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::FILE* fp = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), fp);
  std::rewind(fp);
  TextLines reader(UniqueFd(::dup(::fileno(fp))));
  std::fclose(fp);
  std::vector<std::string> lines;
  std::string line;
  while (reader.Next(line))
    lines.push_back(line);
  EXPECT_FALSE(reader.error());
  EXPECT_TRUE(line.empty());
  return lines;
}

using Strings = std::vector<std::string>;

TEST(LineReader, ReadsNonEmptyLines) {
  EXPECT_EQ(Lines("\n>a\r\n\nACD\n\n"), (Strings{">a\r", "ACD"}));
  EXPECT_EQ(Lines(""), Strings{});
}

TEST(LineReader, ReadsLinesLongerThanOneBuffer) {
  const std::string longA(600000, 'A');
  EXPECT_EQ(Lines(longA + "\nxy\n\n\nz"), (Strings{longA, "xy", "z"}));
  EXPECT_EQ(Lines(longA), (Strings{longA})) << "a long last line without a newline";
}

TEST(LineReader, TextEndsAtTheFirstNulButTheWholeLineIsConsumed) {
  EXPECT_EQ(Lines(std::string("ab\0cd\nef\n", 9)), (Strings{"ab", "ef"}));
  const std::string full(300000, 'D');
  EXPECT_EQ(Lines(full + std::string("\0\0tail\nnext\n", 12)), (Strings{full, "next"}));
  EXPECT_EQ(Lines(std::string("\0x\ny", 4)), (Strings{"", "y"}));
}

}  // namespace
