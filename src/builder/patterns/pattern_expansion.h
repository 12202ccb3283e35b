// SPDX-License-Identifier: MIT
// pattern_expansion.h: the distinct fixed-width motifs of a parsed pattern.
//
// A form of a pattern (pattern_parser.h) stands for one motif per choice of
// repeat counts. The expansion order takes the forms in order (the form with the
// optional element first), each form's choices with the first range varying
// slowest and each range's counts ascending. Different choices can give the same
// motif: A-x(0,1)-x(0,1)-C gives A-x-C twice, x(1,2)-x(1,2) gives x(3) twice,
// and the two forms of A(1,2)-[A>]> both give A(2)>. A motif is its masks in
// order and its anchor; each distinct motif is kept once, where it first
// appears in expansion order, and the limits count distinct motifs.
//
// Most patterns cannot repeat a motif, and this is seen from their elements
// alone: two choices can give the same motif only if some range is followed,
// past elements that may all be absent, by an element of the same letters
// (x(1,2)-x(1,2), C-x(0,1)-C(0,1)), or if both forms of a pattern share their
// anchor. For the others every choice is its own motif: they are counted
// without being listed, and motif i is made from the i-th choice when asked for.
//
// The others are walked, depth first in expansion order, with neighbouring
// elements of the same letters joined into one range first (x(1,2)-x(1,2) is
// x(2,4); an element of no repeats, x(0,0), drops out). A walk never follows the
// same remaining choices from the same motif prefix twice: when a second choice
// of the first k repeat counts gives a prefix that an earlier one gave, every
// completion of it has been seen already, and it is passed over. Prefixes are
// interned as runs of equal masks, so comparing two costs one hash lookup
// however wide they are; the fixed elements that follow a range are the same
// after every prefix, so prefixes (and the motifs of one form) are compared
// before them. Between two ranges, at most one prefix per distinct motif found
// so far (and the one being walked) is ever followed: prefixes completed by the
// same least choice of the remaining counts give distinct motifs. The work is
// therefore bounded by the number of distinct motifs times the sizes of the
// repeat ranges and the fixed elements between them, not by the number of
// choices: the 4^15 choices of C followed fifteen times by A(0,1)-C(0,1) give
// their first 100,001 distinct motifs in a tenth of a second. A step is one
// choice of a repeat count or one interned run, and takes a few dozen bytes at
// most; the walk stops after `maxSteps` steps as well as after `maxMotifs` + 1
// distinct motifs, so that no pattern can hold the machine for long.
#ifndef BRISEL_MAKEDB_PATTERN_EXPANSION_H
#define BRISEL_MAKEDB_PATTERN_EXPANSION_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "database/motif_database.h"
#include "patterns/pattern_parser.h"

namespace brisel {

struct ExpandedMotif {
  std::vector<std::uint32_t> positions;  // one letter mask per position
  MotifAnchor anchor;

  bool operator==(const ExpandedMotif&) const = default;
};

class DistinctMotifs {
 public:
  enum class Outcome {
    kComplete,       // every distinct motif is known
    kTooManyMotifs,  // there are more than maxMotifs
    kTooManySteps,   // the walk took maxSteps steps and stopped
  };

  Outcome outcome() const { return outcome_; }
  // Of a complete expansion: the number of distinct motifs, the widths of them
  // all together, and the i-th motif's masks and anchor in expansion order.
  std::uint64_t size() const { return size_; }
  std::uint64_t positions() const { return positions_; }
  ExpandedMotif Motif(std::uint64_t i) const;

 private:
  friend class ExpansionWalk;
  friend DistinctMotifs ExpandDistinctMotifs(const Pattern& pattern, std::uint64_t maxMotifs,
                                             std::uint64_t maxSteps);

  // The choices of a form that gives no motif twice: motifs first to first +
  // count - 1.
  struct Choices {
    PatternForm form;
    std::uint64_t first;
    std::uint64_t count;
  };
  // A prefix of a walked motif: its runs of equal masks, the last one here.
  struct Run {
    std::uint32_t previous;  // the prefix this run extends; 0: none
    std::uint32_t mask;      // differs from the mask of the previous prefix's last run
    std::uint64_t length;    // at least 1
    std::uint64_t width;     // of the whole prefix
  };
  // Fixed repeats of one mask.
  struct Piece {
    std::uint32_t mask;
    std::uint64_t count;
  };
  // A walked motif: a prefix, then the fixed elements after its form's last
  // range (tails_[tail]; none when the prefix holds them).
  struct Found {
    std::uint32_t prefix;
    std::uint32_t tail;
    MotifAnchor anchor;
  };
  static constexpr std::uint32_t kNoTail = UINT32_MAX;

  ExpandedMotif ChoiceMotif(const Choices& choices, std::uint64_t index) const;

  Outcome outcome_ = Outcome::kComplete;
  std::uint64_t size_ = 0;
  std::uint64_t positions_ = 0;
  std::vector<Choices> choices_;            // a pattern that repeats no motif
  std::vector<Run> runs_{Run{0, 0, 0, 0}};  // a walked one: prefix 0, the empty motif
  std::vector<std::vector<Piece>> tails_;
  std::vector<Found> found_;
};

DistinctMotifs ExpandDistinctMotifs(const Pattern& pattern, std::uint64_t maxMotifs,
                                    std::uint64_t maxSteps);

}  // namespace brisel

#endif  // BRISEL_MAKEDB_PATTERN_EXPANSION_H
