// SPDX-License-Identifier: MIT
// The token and skip rules of the scanner.
#include "scanner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/temp_dir.h"

using namespace brisel;

namespace {

// A scanner over `text`, read from an unlinked temporary file.
ScannerPtr ScannerOver(std::string_view text, const char* delimiters, int discard) {
  std::FILE* fp = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), fp);
  std::rewind(fp);
  return ScannerPtr(NewScannerFromFile(fp, delimiters, discard));
}

// Every token until the input is exhausted; the buffer must then hold "".
std::vector<std::string> Tokens(Scanner scanner, int bufLen) {
  std::vector<std::string> tokens;
  std::vector<char> buffer(bufLen, 'X');
  while (ReadNextToken(scanner, buffer.data(), bufLen) == 1)
    tokens.emplace_back(buffer.data());
  EXPECT_EQ(buffer[0], '\0') << "a result of 0 leaves the empty string";
  return tokens;
}

std::vector<std::string> LineTokens(std::string_view text, int bufLen = 100) {
  auto scanner = ScannerOver(text, "\n", 1);
  return Tokens(scanner.get(), bufLen);
}

using Strings = std::vector<std::string>;

TEST(ScannerLines, NonEmptyLinesAreTokens) {
  EXPECT_EQ(LineTokens("12\n34\n\n56"), (Strings{"12", "34", "56"}));
  EXPECT_EQ(LineTokens("\n\n12\n\n\n"), (Strings{"12"}));
  EXPECT_EQ(LineTokens("12\n"), (Strings{"12"}));
}

TEST(ScannerLines, EmptyInputYieldsNothing) {
  EXPECT_EQ(LineTokens(""), Strings{});
  EXPECT_EQ(LineTokens("\n\n\n"), Strings{});
}

TEST(ScannerLines, CarriageReturnIsAnOrdinaryCharacter) {
  EXPECT_EQ(LineTokens("12\r\n"), (Strings{"12\r"}));
}

TEST(ScannerLines, LongTokensAreCutAtTheBufferSize) {
  EXPECT_EQ(LineTokens("abcdefg\nxy", 4), (Strings{"abc", "def", "g", "xy"}));
  EXPECT_EQ(LineTokens("abc\ndef", 4), (Strings{"abc", "def"})) << "no empty token";
  EXPECT_EQ(LineTokens("ab\nc", 2), (Strings{"a", "b", "c"}));
}

TEST(ScannerLines, DelimiterAbove127SplitsTokens) {
  auto scanner = ScannerOver(
      "ab\xE9"
      "cd\xE9\xE9"
      "e",
      "\xE9", 1);
  EXPECT_EQ(Tokens(scanner.get(), 10), (Strings{"ab", "cd", "e"}));
}

TEST(ScannerLines, EndOfInputIsFoundAgainOnEveryCall) {
  auto scanner = ScannerOver("a", "\n", 1);
  char buffer[4];
  EXPECT_EQ(ReadNextToken(scanner.get(), buffer, 4), 1);
  EXPECT_EQ(ReadNextToken(scanner.get(), buffer, 4), 0);
  EXPECT_EQ(ReadNextToken(scanner.get(), buffer, 4), 0);
  EXPECT_EQ(SkipOver(scanner.get(), "x"), -1);
}

TEST(ScannerLines, TinyBuffersAreNeverOverrun) {
  auto scanner = ScannerOver("abc", "\n", 1);
  char buffer[2] = {'X', 'Y'};
  EXPECT_EQ(ReadNextToken(scanner.get(), buffer, 1), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(buffer[1], 'Y');
  EXPECT_EQ(ReadNextToken(scanner.get(), buffer, 0), 0);
  EXPECT_EQ(ReadNextToken(scanner.get(), buffer, 2), 1) << "nothing was consumed";
  EXPECT_STREQ(buffer, "a");
}

TEST(ScannerKeeping, DelimitersAreTokensOfTheirOwn) {
  auto scanner = ScannerOver("ab,,cd", ",", 0);
  EXPECT_EQ(Tokens(scanner.get(), 10), (Strings{"ab", ",", ",", "cd"}));
  auto single = ScannerOver(",", ",", 0);
  EXPECT_EQ(Tokens(single.get(), 10), (Strings{","}));
}

TEST(ScannerKeeping, SkipOverDelimitersConsumesTheHeldDelimiter) {
  auto scanner = ScannerOver("ab,,cd", ",", 0);
  char buffer[10];
  ASSERT_EQ(ReadNextToken(scanner.get(), buffer, 10), 1);
  EXPECT_STREQ(buffer, "ab");
  EXPECT_EQ(SkipOverDelimiters(scanner.get()), 'c');
  ASSERT_EQ(ReadNextToken(scanner.get(), buffer, 10), 1);
  EXPECT_STREQ(buffer, "cd");
  EXPECT_EQ(ReadNextToken(scanner.get(), buffer, 10), 0);
}

TEST(ScannerKeeping, NoDelimitersCutsOnlyAtBufferAndEnd) {
  auto scanner = ScannerOver("ab\ncd", "", 0);
  EXPECT_EQ(Tokens(scanner.get(), 4), (Strings{"ab\n", "cd"}));
}

TEST(ScannerSkips, SkipOverLeavesTheStoppingCharacterToRead) {
  auto scanner = ScannerOver("   abc", "\n", 1);
  EXPECT_EQ(SkipOver(scanner.get(), " "), 'a');
  EXPECT_EQ(Tokens(scanner.get(), 10), (Strings{"abc"}));
}

TEST(ScannerSkips, SkipUntilStopsAtAMemberOfTheSet) {
  auto scanner = ScannerOver("key:value", "\n", 1);
  EXPECT_EQ(SkipUntil(scanner.get(), ":"), ':');
  EXPECT_EQ(Tokens(scanner.get(), 20), (Strings{":value"}));
}

TEST(ScannerSkips, SkipUntilDelimitersDropsTheDelimiterOfADiscardingScanner) {
  auto scanner = ScannerOver("abc\ndef", "\n", 1);
  EXPECT_EQ(SkipUntilDelimiters(scanner.get()), '\n');
  EXPECT_EQ(Tokens(scanner.get(), 20), (Strings{"def"}));
}

TEST(ScannerSkips, EmptySets) {
  auto peek = ScannerOver("xyz", "\n", 1);
  EXPECT_EQ(SkipOver(peek.get(), ""), 'x');
  EXPECT_EQ(SkipOver(peek.get(), ""), 'x') << "nothing consumed";
  EXPECT_EQ(Tokens(peek.get(), 20), (Strings{"xyz"}));

  auto all = ScannerOver("xyz\nabc", "\n", 1);
  EXPECT_EQ(SkipUntil(all.get(), ""), -1);
  EXPECT_EQ(Tokens(all.get(), 20), Strings{});
}

TEST(ScannerSkips, BytesAbove127WorkAsSkipCharacters) {
  auto scanner = ScannerOver("\xF0\xF0\xF1z", "\n", 1);
  EXPECT_EQ(SkipOver(scanner.get(), "\xF0"), 0xF1);
  EXPECT_EQ(SkipUntil(scanner.get(), "z"), 'z');
  EXPECT_EQ(Tokens(scanner.get(), 20), (Strings{"z"}));
}

TEST(ScannerSkips, TheSkipTableIsEmptyAgainAfterASkip) {
  auto scanner = ScannerOver("aab", "\n", 1);
  EXPECT_EQ(SkipOver(scanner.get(), "a"), 'b');
  EXPECT_EQ(SkipOver(scanner.get(), ""), 'b') << "'a' must no longer be in the set";
}

TEST(ScannerCreation, NullInputsGiveNoScanner) {
  EXPECT_EQ(NewScannerFromFile(nullptr, "\n", 1), nullptr);
  EXPECT_EQ(NewScannerFromFilename(nullptr, "\n", 1), nullptr);
  TempDir dir;
  errno = 0;
  EXPECT_EQ(NewScannerFromFilename((dir / "missing").c_str(), "\n", 1), nullptr);
  EXPECT_EQ(errno, ENOENT) << "the caller can say why";
}

TEST(ScannerCreation, ReadsANamedFile) {
  TempDir dir;
  WriteFile(dir / "lines", "one\ntwo\n");
  ScannerPtr scanner(NewScannerFromFilename((dir / "lines").c_str(), "\n", 1));
  ASSERT_TRUE(scanner);
  EXPECT_EQ(Tokens(scanner.get(), 20), (Strings{"one", "two"}));
}

}  // namespace
