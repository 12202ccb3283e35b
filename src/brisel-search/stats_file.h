// SPDX-License-Identifier: MIT
// stats_file.h: the reader of a database's stats file.
//
// A stats file holds three unsigned decimal counts, each on a line of its own;
// blank lines are skipped. Each count is read as a token of at most 10
// characters (a longer number is split, and the later counts shift) and parsed
// by strtoul rules, clamped to 32 bits: leading white space and one sign are
// taken, a token without digits gives 0, a value above 4294967295 gives
// 4294967295, and a minus sign negates modulo 2^32. Missing counts read as 0;
// nothing after the third count is read.
#ifndef BRISEL_STATS_FILE_H
#define BRISEL_STATS_FILE_H

#include <array>
#include <cstdint>

using StatsCounts = std::array<std::uint32_t, 3>;

// Parses one stats token as described above.
std::uint32_t ParseStatsNumber(const char* token);

// Reads the three counts of `filename` into `counts`. Returns false, with errno
// telling why, when the file cannot be opened.
bool ReadStatsFile(const char* filename, StatsCounts& counts);

// Reads the three counts, or ends the run with status 1 and the line
// "brisel-search: cannot open stats file '<path>': <reason>".
StatsCounts ReadStatsFileOrExit(const char* filename);

#endif  // BRISEL_STATS_FILE_H
