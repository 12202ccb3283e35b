// SPDX-License-Identifier: MIT
// line_reader.cpp: joins the tokens of one long line.
#include "input/line_reader.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kChunkLength = 1 << 16;

}  // namespace

bool ReadWholeLine(Scanner scanner, std::string& line) {
  std::array<char, kChunkLength> chunk;
  line.clear();
  bool textEnded = false;  // a NUL byte has ended the line's text
  for (bool first = true;; first = false) {
    // The last byte of the buffer is written only as the terminator of a token
    // that fills the buffer, so it tells a full token from a complete line even
    // when the token holds NUL bytes.
    chunk[kChunkLength - 1] = 1;
    if (ReadNextToken(scanner, chunk.data(), kChunkLength) == 0) return !first;
    const bool full = chunk[kChunkLength - 1] == '\0';
    if (!textEnded) {
      const std::size_t stored = full ? kChunkLength - 1 : std::strlen(chunk.data());
      const std::size_t text = ::strnlen(chunk.data(), stored);
      line.append(chunk.data(), text);
      textEnded = text < stored;
    }
    if (!full) return true;
    // A full token: the line goes on unless the next character is the newline
    // (which the discarding scanner then drops) or the end of the input.
    // A NUL that stops the skip cannot be held and is consumed; it ends the text.
    int next;
    while ((next = SkipOver(scanner, "")) == '\0')
      textEnded = true;
    if (next == EOF || next == '\n') return true;
  }
}
