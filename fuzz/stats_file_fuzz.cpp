// SPDX-License-Identifier: MIT
// stats_file_fuzz.cpp: the stats file reader over arbitrary bytes, against a
// model written from the format's rules.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "database/stats_file.h"
#include "fuzz_bodies.h"
#include "fuzz_files.h"

namespace brisel {

namespace {

bool IsBlankByte(char c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigitByte(char c) {
  return c >= '0' && c <= '9';
}

// The count of one non-blank line, or nothing if the line holds none in range.
std::optional<std::uint32_t> ModelCount(std::string_view line) {
  std::size_t at = 0;
  while (at < line.size() && IsBlankByte(line[at]))
    ++at;
  const bool negative = line[at] == '-';
  if (line[at] == '+' || line[at] == '-') ++at;
  if (at == line.size() || !IsDigitByte(line[at])) return std::nullopt;
  while (at + 1 < line.size() && line[at] == '0' && IsDigitByte(line[at + 1]))
    ++at;
  std::size_t end = at;
  while (end < line.size() && IsDigitByte(line[end]))
    ++end;
  const std::string digits(line.substr(at, end - at));
  if (digits.size() > 10 || (digits.size() == 10 && digits > "4294967295")) return std::nullopt;
  const std::uint32_t value = static_cast<std::uint32_t>(std::stoull(digits));
  if (negative && value != 0) return std::nullopt;
  return value;
}

// The three counts of a stats file, or nothing for a file the reader refuses.
std::optional<StatsCounts> ModelStatsFile(std::string_view bytes) {
  StatsCounts counts{};
  std::size_t found = 0;
  while (found < counts.size() && !bytes.empty()) {
    const std::size_t newline = bytes.find('\n');
    const std::string_view line = bytes.substr(0, newline);
    bytes.remove_prefix(newline == std::string_view::npos ? bytes.size() : newline + 1);
    if (line.find_first_not_of(" \t\v\f\r") == std::string_view::npos) continue;
    const std::optional<std::uint32_t> count = ModelCount(line);
    if (!count) return std::nullopt;
    counts[found++] = *count;
  }
  if (found < counts.size()) return std::nullopt;
  return counts;
}

}  // namespace

int FuzzStatsFile(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string path = WriteScratchFile("stats", data, size);
  StatsCounts counts{1, 2, 3};
  const std::optional<std::string> fault = ReadStatsFile(path.c_str(), counts);
  const std::optional<StatsCounts> expected = ModelStatsFile(bytes);
  FUZZ_CHECK(fault.has_value() == !expected.has_value());
  if (expected) FUZZ_CHECK(counts == *expected);
  if (fault) {
    // One line that names the file, and quotes at most a few dozen bytes.
    FUZZ_CHECK(fault->starts_with(path + ":"));
    FUZZ_CHECK(fault->find('\n') == std::string::npos);
    FUZZ_CHECK(fault->size() < path.size() + 160);
  }
  return 0;
}

}  // namespace brisel
