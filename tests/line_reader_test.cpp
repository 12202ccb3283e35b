// SPDX-License-Identifier: MIT
// The non-empty lines of a file, of any length, NUL bytes and all, and their numbers.
#include "input/line_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

using namespace brisel;

namespace {

std::vector<std::uint64_t> numbers;  // of the lines Lines read last

std::vector<std::string> Lines(const std::string& text) {
  std::FILE* fp = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), fp);
  std::rewind(fp);
  TextLines reader(UniqueFd(::dup(::fileno(fp))));
  std::fclose(fp);
  std::vector<std::string> lines;
  std::string line;
  numbers.clear();
  while (reader.Next(line)) {
    lines.push_back(line);
    numbers.push_back(reader.lineNumber());
  }
  EXPECT_FALSE(reader.error());
  EXPECT_TRUE(line.empty());
  return lines;
}

using Strings = std::vector<std::string>;

TEST(LineReader, ReadsNonEmptyLines) {
  EXPECT_EQ(Lines("\n>a\r\n\nACD\n\n"), (Strings{">a\r", "ACD"}));
  EXPECT_EQ(numbers, (std::vector<std::uint64_t>{2, 4}));
  EXPECT_EQ(Lines(""), Strings{});
}

TEST(LineReader, ReadsLinesLongerThanOneBuffer) {
  const std::string longA(600000, 'A');
  EXPECT_EQ(Lines(longA + "\nxy\n\n\nz"), (Strings{longA, "xy", "z"}));
  EXPECT_EQ(numbers, (std::vector<std::uint64_t>{1, 2, 5}));
  EXPECT_EQ(Lines(longA), (Strings{longA})) << "a long last line without a newline";
}

TEST(LineReader, KeepsNulBytes) {
  EXPECT_EQ(Lines(std::string("ab\0cd\nef\n", 9)), (Strings{std::string("ab\0cd", 5), "ef"}));
  const std::string full(300000, 'D');
  EXPECT_EQ(Lines(full + std::string("\0\0tail\nnext\n", 12)),
            (Strings{full + std::string("\0\0tail", 6), "next"}));
}

}  // namespace
