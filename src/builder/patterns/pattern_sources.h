// SPDX-License-Identifier: MIT
// pattern_sources.h: the patterns of a motif input, with their records and
// where they stand in the input.
//
// Two formats are recognised by content:
// - a PROSITE flat file: entries of ID, AC, DE, PA and other lines, each ended
//   by a "//" line; each entry with PA lines gives one pattern (its PA lines
//   joined) with the record "<AC> <ID>". A file is taken for one when it holds
//   an "ID   " line and a "//" line, or when every line but blank lines and '#'
//   comments is a PROSITE line: "//", or a two-character line code (letters
//   A-Z, digits) and three spaces. So a flat file cut short before its first
//   "//" is still read as one, and an entry that no "//" ends (the file was
//   cut short) is an error naming the line where the entry starts;
// - a pattern list: one pattern per line, then optional white space and the
//   record text, which defaults to the pattern; blank lines and lines starting
//   with '#' are ignored.
// A record containing '|' or a NUL byte is an error: the first would break the
// fields of the hit line, the second would cut the record short.
//
// A caller that holds its patterns (the Python module) gives them as
// PatternEntries: entry k (from 1) stands as line k, column 1 of its input in
// messages, an empty record is the pattern's own text as in a pattern list,
// and a record with a newline, which no line of a file holds, is an error
// too.
#ifndef BRISEL_MAKEDB_PATTERN_SOURCES_H
#define BRISEL_MAKEDB_PATTERN_SOURCES_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "input/input_file.h"
#include "input/reading_progress.h"

namespace brisel {

struct PatternSource {
  // A piece of the pattern text and where its first character stands.
  struct Segment {
    std::size_t offset;  // in `pattern`
    std::uint64_t line;
    std::uint64_t column;  // from 1
  };

  std::string pattern;
  std::string record;
  std::vector<Segment> segments;

  std::uint64_t line() const { return segments.front().line; }
  // "line:column" of the character at `offset` of the pattern (or just after its
  // end).
  std::string Location(std::size_t offset) const;
};

// Reads every pattern of the input, in input order. Throws BuildError.
std::vector<PatternSource> ReadPatternSources(InputFile& input, ReadingProgress& progress);

struct PatternEntry {
  std::string pattern;
  std::string record;
};

// The sources of `entries`, of the input named `inputName`. Throws BuildError.
std::vector<PatternSource> PatternSourcesOf(std::string_view inputName,
                                            std::span<const PatternEntry> entries);

}  // namespace brisel

#endif  // BRISEL_MAKEDB_PATTERN_SOURCES_H
