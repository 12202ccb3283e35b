// SPDX-License-Identifier: MIT
// stats_file.h: the reader of a database's stats file.
//
// A stats file holds three unsigned decimal counts, each at the start of a line
// of its own. Lines are ended by newlines; a blank line (empty, or only white
// space, such as the carriage return of a CRLF file) is skipped. A count's
// line holds optional white space, an optional sign, one or more decimal digits
// and then anything: text after the number, a carriage return. The number may
// have any number of digits (leading zeros included) and must lie in 0 to
// 4294967295. Nothing after the third count is read.
//
// Only a regular file is read: the file is opened without blocking and checked
// before its first byte is read, so a directory, a FIFO or a device is refused
// at once rather than read as empty or waited on. Everything else that keeps
// three counts from being read is a fault too: an empty file, a file that ends
// before its third count, a line whose text is no number, a number out of range
// (quoted as written), a read error. Fault messages quote file text with its
// control bytes escaped (message_text.h).
//
// A sequence database's stats file may hold a fourth line, "digest <16 hex
// digits>" (shard_manifest.h), which the counts' reader never reads;
// ReadStatsDigest reads it.
#ifndef BRISEL_STATS_FILE_H
#define BRISEL_STATS_FILE_H

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace brisel {

using StatsCounts = std::array<std::uint32_t, 3>;

// Reads the three counts of `filename` into `counts`. Returns nothing on
// success, else the fault: "cannot open stats file '<path>': <reason>" when the
// file cannot be opened, "<path>: <problem>" or "<path>:<line>: <problem>"
// otherwise. `counts` is left unspecified after a fault.
std::optional<std::string> ReadStatsFile(const char* filename, StatsCounts& counts);

// Reads the three counts. Throws brisel::Error with the fault: kNotFound when
// the file does not exist, else kDamaged.
StatsCounts ReadStatsCounts(const std::string& filename);

// The digest of the fourth non-blank line "digest <16 hex digits>" of the
// stats file `filename`; nothing when the file has no such line or cannot be
// read.
std::optional<std::uint64_t> ReadStatsDigest(const std::string& filename);

inline constexpr std::string_view kStatsDigestWord = "digest ";

}  // namespace brisel

#endif  // BRISEL_STATS_FILE_H
