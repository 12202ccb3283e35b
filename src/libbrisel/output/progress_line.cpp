// SPDX-License-Identifier: MIT
// progress_line.cpp: the progress line's bytes.
#include "output/progress_line.h"

#include <string_view>

#include "output/number_format.h"

namespace brisel {

namespace {

constexpr std::string_view kWords = "Processing Sequence ";

// The line at `line`, which has room for it; returns its end.
char* FormatProgressLine(char* line, std::uint64_t sequenceNumber) {
  char* end = kWords.copy(line, kWords.size()) + line;
  end = FormatUnsigned(end, sequenceNumber);
  *end++ = '\r';
  return end;
}

constexpr std::size_t kLongestLine = kWords.size() + kMaxFormattedUnsigned + 1;

}  // namespace

void AppendProgressLine(std::string& err, std::uint64_t sequenceNumber) {
  char line[kLongestLine];
  err.append(line, FormatProgressLine(line, sequenceNumber));
}

}  // namespace brisel
