// SPDX-License-Identifier: MIT
// pattern_parser.h: PROSITE patterns, parsed and expanded into fixed-width
// motifs of letter masks.
//
// Syntax: elements separated by '-' (which may be left out). An element is a
// letter A to Z in either case; 'x' or 'X', any of the 26 letters; "[...]", the
// letters listed; or "{...}", the 26 letters but those listed; optionally
// followed by "(n)" or "(n,m)", n to m repeats. A final '.' is allowed.
//
// Anchors: '<' before the first element ties the pattern to the N-terminus,
// '>' after the last element to the C-terminus. '>' inside the last element's
// "[...]" (which then takes no repeat count) makes that element optional at the
// C-terminus: "A-[G>]" stands for "A-G" and for "A>"; a set of '>' alone,
// "A-[>]", for "A>" only.
//
// A pattern therefore has one or two forms, each a list of elements with its
// anchors; a form with ranges stands for one fixed-width motif per choice of
// repeat counts (pattern_expansion.h). Every motif has at least one position.
#ifndef BRISEL_MAKEDB_PATTERN_PARSER_H
#define BRISEL_MAKEDB_PATTERN_PARSER_H

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "database/motif_database.h"

namespace brisel {

struct PatternElement {
  std::uint32_t mask;  // the letters allowed
  std::uint32_t minRepeats;
  std::uint32_t maxRepeats;
};

struct Pattern {
  std::vector<PatternElement> elements;
  bool startAnchored = false;  // '<'
  bool endAnchored = false;    // '>' after the last element
  // The last element's set held '>': the pattern also stands for its elements
  // but the last, anchored at the C-terminus. When the set held no letter
  // (mask 0) that is the pattern's only form.
  bool optionalLastElement = false;

  bool anchored() const { return startAnchored || endAnchored || optionalLastElement; }
};

// One form of a pattern: its elements and the anchor of its motifs.
struct PatternForm {
  std::vector<PatternElement> elements;
  MotifAnchor anchor;
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

// The forms of a parsed pattern, in expansion order.
std::vector<PatternForm> PatternForms(const Pattern& pattern);

}  // namespace brisel

#endif  // BRISEL_MAKEDB_PATTERN_PARSER_H
