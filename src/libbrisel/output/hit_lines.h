// SPDX-License-Identifier: MIT
// hit_lines.h: the row writers, which format the report of one sequence into
// a byte buffer, one per output format (output_formats.h).
//
// The pipe format has a header line, then one line
//   E|P|s|record|segment|start|end
// per hit, E as %.2e, P as %.3f, s as %.3e, 1-based inclusive positions, and
// every text up to its first NUL byte; the tsv and gff3 formats carry the same
// numbers in the rows output_formats.h describes. What depends only on the
// motif (its record and specificity, escaped as the format needs) is formatted
// once when the writer is made; what depends only on the sequence (its name)
// once per sequence; E and P once per run of hits of the same motif in one
// sequence, since they depend only on the motif and the sequence's length.
//
// A writer is shared read-only by the threads of a search; each thread keeps
// its own SequenceState.
#ifndef BRISEL_OUTPUT_HIT_LINES_H
#define BRISEL_OUTPUT_HIT_LINES_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/motif_database.h"
#include "output/output_formats.h"
#include "statistics/hit_statistics.h"

namespace brisel {

class HitLineFormatter {
 public:
  virtual ~HitLineFormatter() = default;

  // The state of the sequence being written; one per thread.
  struct SequenceState {
    std::uint64_t sequence = 0;         // the sequence's number in its search
    std::string rowStart;               // the fields before the start position, if any
    std::uint32_t motif = 0xFFFFFFFFu;  // whose E and P are formatted below
    std::string numbers;                // the format's E and P together, if it has them so
    std::string expectation;
    std::string probability;
  };

  // Begins the report of a sequence that has hits, `sequence` its number in
  // the search from 0: the pipe format's header line (">" and a database
  // name, or the FASTA name line as it is, or nothing for a raw sequence), or
  // the start of each row of the other formats.
  virtual void BeginSequence(std::string& out, SequenceState& state, std::uint64_t sequence,
                             std::string_view name, NameKind kind) const = 0;

  // The hit line of motif m at 0-based `start`; `statistics` are E and P after
  // motif m for this sequence.
  virtual void AppendHitLine(std::string& out, SequenceState& state,
                             const HitStatistics& statistics, std::uint32_t m,
                             std::string_view segment, std::uint64_t start) const = 0;

 protected:
  // Formats E and P into `state` when the motif changes.
  static void FormatNumbers(SequenceState& state, const HitStatistics& statistics, std::uint32_t m);
};

std::unique_ptr<HitLineFormatter> MakePipeRows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeTsvRows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeGff3Rows(const MotifViews& motifs);

}  // namespace brisel

#endif  // BRISEL_OUTPUT_HIT_LINES_H
