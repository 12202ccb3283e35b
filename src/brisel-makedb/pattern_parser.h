// pattern_parser.h: PROSITE patterns, parsed and expanded into fixed-width
// motifs of letter masks.
//
// Syntax: elements separated by '-' (which may be left out). An element is a
// letter A to Z in either case; 'x' or 'X', any of the 26 letters; "[...]", the
// letters listed; or "{...}", the 26 letters but those listed; optionally
// followed by "(n)" or "(n,m)", n to m repeats. A final '.' is allowed. The
// anchors '<' (at the start) and '>' (at the end, or inside "[...]") are
// recognised so that anchored patterns can be refused by name.
//
// A pattern with ranges stands for one fixed-width motif per choice of repeat
// counts; ExpandPattern lists them with the first range varying slowest and each
// range's counts ascending.
#ifndef BRISEL_MAKEDB_PATTERN_PARSER_H
#define BRISEL_MAKEDB_PATTERN_PARSER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

struct PatternElement {
  std::uint32_t mask;  // the letters allowed
  std::uint32_t minRepeats;
  std::uint32_t maxRepeats;
};

struct Pattern {
  std::vector<PatternElement> elements;
  bool anchored = false;  // holds '<' or '>'
};

// A malformed pattern: what is wrong and the 0-based offset of the character at
// which it was found (the pattern's length for its end).
struct PatternSyntaxError {
  std::size_t offset;
  std::string message;
};

// The largest repeat count accepted in "(n)" and "(n,m)".
inline constexpr std::uint32_t kMaxRepeats = 100000;

std::variant<Pattern, PatternSyntaxError> ParsePattern(std::string_view text);

// The number of motifs the pattern expands into, or `cap` + 1 if it is more
// than `cap`.
std::uint64_t CountExpansions(const Pattern& pattern, std::uint64_t cap);

// Every fixed-width motif of the pattern, as one letter mask per position.
std::vector<std::vector<std::uint32_t>> ExpandPattern(const Pattern& pattern);

#endif  // BRISEL_MAKEDB_PATTERN_PARSER_H
