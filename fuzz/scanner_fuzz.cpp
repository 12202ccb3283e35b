// SPDX-License-Identifier: MIT
// scanner_fuzz.cpp: the scanner against a model of its token rules.
//
// Input: byte 0 holds the discard switch (bit 0) and the buffer size (the rest,
// 2 to 41); byte 1 the number of delimiter bytes that follow (0 to 7; NUL bytes
// among them are dropped, since a delimiter set is a C string); then the text.
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_bodies.h"
#include "scanner.h"

namespace brisel {

namespace {

// The tokens that the token rules give for `text`, read with ReadNextToken
// only: runs of non-delimiters cut into pieces of at most bufLen - 1
// characters; a keeping scanner adds each delimiter as a token of its own.
std::vector<std::string> ModelTokens(const std::string& text, const bool* isDelimiter, bool discard,
                                     int bufLen) {
  std::vector<std::string> tokens;
  std::string run;
  const auto flushRun = [&] {
    for (std::size_t at = 0; at < run.size(); at += bufLen - 1) {
      tokens.push_back(run.substr(at, bufLen - 1));
    }
    run.clear();
  };
  for (char c : text) {
    if (!isDelimiter[static_cast<unsigned char>(c)]) {
      run += c;
      continue;
    }
    flushRun();
    if (!discard) tokens.emplace_back(1, c);
  }
  flushRun();
  return tokens;
}

std::FILE* StreamOver(const std::string& text) {
  std::FILE* fp = std::tmpfile();
  FUZZ_CHECK(fp != nullptr);
  if (!text.empty()) std::fwrite(text.data(), 1, text.size(), fp);
  std::rewind(fp);
  return fp;
}

void CheckTokensAgainstModel(const std::string& text, const std::string& delimiters, bool discard,
                             int bufLen) {
  bool isDelimiter[256] = {};
  for (char c : delimiters)
    isDelimiter[static_cast<unsigned char>(c)] = true;
  const std::vector<std::string> expected = ModelTokens(text, isDelimiter, discard, bufLen);

  ScannerPtr scanner(NewScannerFromFile(StreamOver(text), delimiters.c_str(), discard ? 1 : 0));
  std::vector<char> buffer(bufLen);  // exactly bufLen: any overrun is caught
  for (const std::string& token : expected) {
    FUZZ_CHECK(ReadNextToken(scanner.get(), buffer.data(), bufLen) == 1);
    FUZZ_CHECK(token.size() <= static_cast<std::size_t>(bufLen - 1));
    FUZZ_CHECK(std::string(buffer.data(), token.size()) == token);
    FUZZ_CHECK(buffer[token.size()] == '\0');
  }
  FUZZ_CHECK(ReadNextToken(scanner.get(), buffer.data(), bufLen) == 0);
  FUZZ_CHECK(buffer[0] == '\0');
  FUZZ_CHECK(ReadNextToken(scanner.get(), buffer.data(), bufLen) == 0);
}

// A random mix of reads (also with buffers below 2) and skips, driven by the
// text itself: everything must stay in bounds and return values in range.
void MixReadsAndSkips(const std::string& text, const std::string& delimiters, bool discard) {
  ScannerPtr scanner(NewScannerFromFile(StreamOver(text), delimiters.c_str(), discard ? 1 : 0));
  unsigned state = 2166136261u;
  for (char c : text)
    state = (state ^ static_cast<unsigned char>(c)) * 16777619u;
  int endsSeen = 0;
  for (int op = 0; op < 4 * static_cast<int>(text.size()) + 8 && endsSeen < 3; ++op) {
    state = state * 1103515245u + 12345u;
    const unsigned choice = (state >> 16) % 6;
    std::string set;
    for (unsigned k = (state >> 8) % 3; k > 0 && !text.empty(); --k) {
      const char c = text[(state >> (4 * k)) % text.size()];
      if (c != '\0') set += c;
    }
    int result = 0;
    if (choice < 2) {
      const int bufLen = static_cast<int>((state >> 20) % 8);
      std::vector<char> buffer(bufLen > 0 ? bufLen : 1, 'X');
      result = ReadNextToken(scanner.get(), buffer.data(), bufLen);
      FUZZ_CHECK(result == 0 || result == 1);
      if (bufLen >= 1 && result == 0) FUZZ_CHECK(buffer[0] == '\0');
      if (bufLen < 2) FUZZ_CHECK(result == 0);
      if (result == 0) ++endsSeen;
      continue;
    }
    if (choice == 2) result = SkipOver(scanner.get(), set.c_str());
    if (choice == 3) result = SkipUntil(scanner.get(), set.c_str());
    if (choice == 4) result = SkipOverDelimiters(scanner.get());
    if (choice == 5) result = SkipUntilDelimiters(scanner.get());
    FUZZ_CHECK(result >= -1 && result <= 255);
    if (result == -1) ++endsSeen;
  }
}

}  // namespace

int FuzzScanner(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool discard = (data[0] & 1) != 0;
  const int bufLen = 2 + (data[0] >> 1) % 40;
  const std::size_t delimiterCount = data[1] % 8;
  if (size < 2 + delimiterCount) return 0;
  std::string delimiters;
  for (std::size_t i = 0; i < delimiterCount; ++i) {
    if (data[2 + i] != 0) delimiters += static_cast<char>(data[2 + i]);
  }
  const std::string text(reinterpret_cast<const char*>(data) + 2 + delimiterCount,
                         size - 2 - delimiterCount);
  CheckTokensAgainstModel(text, delimiters, discard, bufLen);
  MixReadsAndSkips(text, delimiters, discard);
  return 0;
}

}  // namespace brisel
