// SPDX-License-Identifier: MIT
// stats_file_fuzz.cpp: the stats number parser against a model, and the stats
// file reader over arbitrary bytes.
#include <cctype>
#include <string>

#include "fuzz_bodies.h"
#include "fuzz_files.h"
#include "stats_file.h"

namespace {

// strtoul rules on a 32-bit unsigned long, written out by hand.
std::uint32_t ModelStatsNumber(const std::string& token) {
  std::size_t at = 0;
  while (at < token.size() && std::isspace(static_cast<unsigned char>(token[at])))
    ++at;
  bool negative = false;
  if (at < token.size() && (token[at] == '+' || token[at] == '-')) negative = token[at++] == '-';
  if (at == token.size() || !std::isdigit(static_cast<unsigned char>(token[at]))) return 0;
  std::uint64_t value = 0;
  bool overflow = false;
  for (; at < token.size() && std::isdigit(static_cast<unsigned char>(token[at])); ++at) {
    value = value * 10 + static_cast<std::uint64_t>(token[at] - '0');
    if (value > UINT32_MAX) {
      overflow = true;
      value = UINT32_MAX;
    }
  }
  if (overflow) return UINT32_MAX;
  return negative ? static_cast<std::uint32_t>(0u - static_cast<std::uint32_t>(value))
                  : static_cast<std::uint32_t>(value);
}

}  // namespace

int FuzzStatsFile(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string token = bytes.substr(0, bytes.find('\0'));
  FUZZ_CHECK(ParseStatsNumber(token.c_str()) == ModelStatsNumber(token));

  const std::string path = WriteScratchFile("stats", data, size);
  StatsCounts counts{1, 2, 3};
  FUZZ_CHECK(ReadStatsFile(path.c_str(), counts));
  if (size == 0) FUZZ_CHECK(counts == (StatsCounts{0, 0, 0}));
  return 0;
}
