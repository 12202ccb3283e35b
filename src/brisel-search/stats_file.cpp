// SPDX-License-Identifier: MIT
// stats_file.cpp: reads the three counts of a stats file.
#include "stats_file.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "message_text.h"
#include "scanner.h"

namespace {

// A count is a token of at most 10 characters.
constexpr int kStatsBufferLength = 11;

}  // namespace

std::uint32_t ParseStatsNumber(const char* token) {
  const char* p = token;
  while (std::isspace(static_cast<unsigned char>(*p)))
    ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (!std::isdigit(static_cast<unsigned char>(*p))) return 0;

  // The magnitude is read with strtoul; anything beyond 32 bits (including
  // strtoul's own overflow) is clamped, as a 32-bit strtoul would.
  errno = 0;
  const unsigned long magnitude = std::strtoul(p, nullptr, 10);
  if (errno == ERANGE || magnitude > UINT32_MAX) return UINT32_MAX;
  const auto value = static_cast<std::uint32_t>(magnitude);
  return negative ? static_cast<std::uint32_t>(0u - value) : value;
}

bool ReadStatsFile(const char* filename, StatsCounts& counts) {
  const ScannerPtr scanner(NewScannerFromFilename(filename, "\n", 1));
  if (!scanner) return false;
  char statsBuffer[kStatsBufferLength];
  for (std::uint32_t& count : counts) {
    ReadNextToken(scanner.get(), statsBuffer, kStatsBufferLength);
    count = ParseStatsNumber(statsBuffer);
  }
  return true;
}

StatsCounts ReadStatsFileOrExit(const char* filename) {
  StatsCounts counts{};
  if (!ReadStatsFile(filename, counts)) {
    const int openError = errno;
    std::fprintf(stderr, "brisel-search: cannot open stats file '%s': %s\n",
                 EscapedText(filename).c_str(), std::strerror(openError));
    std::exit(1);
  }
  return counts;
}
