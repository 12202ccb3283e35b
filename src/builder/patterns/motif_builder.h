// SPDX-License-Identifier: MIT
// motif_builder.h: builds the nine blocks and the stats file of a motif
// database from patterns.
//
// Each pattern is parsed and expanded into its distinct fixed-width motifs
// (pattern_expansion.h), which share its record. A pattern that expands into
// more than kQuietExpansions distinct motifs is kept with a warning that names
// it and its motif count; one that expands into more than kMaxExpansions, or
// whose expansion takes more than kMaxExpansionSteps steps, is skipped with a
// warning naming it. A pattern that names B, Z or J (as a letter or in a
// set) gets a warning that the letter matches itself alone, naming the set
// of the two residues that the code stands for elsewhere ([DN], [EQ], [IL]).
// The motifs are
// written most specific first (ascending specificity, equal ones in input
// order) unless the input order is to be kept: a search stops trying a
// sequence's motifs once its expectation of random hits passes the cut-off, so
// the rarest motifs should come first.
//
// The optional anchors block ("-anchors.bin", one MotifAnchor byte per motif)
// is written only when some motif is anchored, so a database without anchored
// motifs has exactly the nine blocks it always had.
#ifndef BRISEL_MAKEDB_MOTIF_BUILDER_H
#define BRISEL_MAKEDB_MOTIF_BUILDER_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "api/databases.h"
#include "database/motif_database.h"
#include "output/output_streams.h"
#include "patterns/motif_statistics.h"
#include "patterns/pattern_sources.h"
#include "staging/staged_files.h"

namespace brisel {

inline constexpr std::uint64_t kQuietExpansions = 1000;
inline constexpr std::uint64_t kMaxExpansions = 100000;
// The bound on the walk that finds the distinct motifs of a pattern whose
// ranges overlap (pattern_expansion.h): twenty steps per motif allowed, where
// such patterns take a few; a pattern built to defeat the walk stops here
// within a second or two and about a hundred MiB.
inline constexpr std::uint64_t kMaxExpansionSteps = 2000000;

class MotifDatabaseBuilder {
 public:
  // Warnings go to `messages`, one line each, after the name of `program`;
  // null drops them.
  explicit MotifDatabaseBuilder(bool keepOrder, OutputStream* messages = nullptr,
                                std::string_view program = "brisel-makedb");

  // Parses and expands the patterns of the input named `inputName`. A
  // malformed pattern throws BuildError with its line and column; skipped
  // patterns are reported as warnings.
  void AddPatterns(std::string_view inputName, const std::vector<PatternSource>& sources);

  // Writes the blocks and then the stats file as staged files of `database`;
  // without anchored motifs, stages the removal of an old anchors block.
  void Write(StagedDatabase& database);

  // The database in memory, as Write would have written it.
  brisel::MotifDatabase InMemory();

  // Whether some motif is anchored: the database then has an anchors block.
  bool anchored() const { return anchoredMotifs_ > 0; }

  std::uint64_t motifs() const { return motifs_.size(); }
  std::uint64_t patterns() const { return patterns_; }
  std::uint64_t skipped() const { return skipped_; }

 private:
  struct Motif {
    std::vector<std::uint32_t> positions;
    MotifStatistics statistics;
    std::size_t record;  // index into records_
    MotifAnchor anchor;
  };

  struct Blocks;
  // The blocks of the motifs added, most specific first unless the input order
  // is kept.
  std::shared_ptr<const Blocks> MakeBlocks();

  bool keepOrder_;
  OutputStream* messages_;
  std::string program_;
  const LetterFrequencies frequencies_ = BackgroundLetterFrequencies();
  std::vector<Motif> motifs_;
  std::vector<std::string> records_;
  std::uint64_t patterns_ = 0;
  std::uint64_t skipped_ = 0;
  std::uint64_t anchoredMotifs_ = 0;
  std::uint64_t positions_ = 0;
  std::uint64_t recordChars_ = 0;
};

}  // namespace brisel

#endif  // BRISEL_MAKEDB_MOTIF_BUILDER_H
