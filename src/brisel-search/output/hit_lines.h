// SPDX-License-Identifier: MIT
// hit_lines.h: formats the report of one sequence into a byte buffer.
//
// The bytes are those of hit_report.h in the pipe format: a header line, then
// one line
//   E|P|s|record|segment|start|end
// per hit, E as %.2e, P as %.3f, s as %.3e, 1-based inclusive positions, and
// every text up to its first NUL byte; the tsv and gff3 formats carry the same
// numbers in the rows output_format.h describes. What depends only on the
// motif (its record and specificity, escaped as the format needs) is formatted
// once when the formatter is made; what depends only on the sequence (its
// name) once per sequence; E and P once per run of hits of the same motif in
// one sequence, since they depend only on the motif and the sequence's length.
#ifndef BRISEL_ENGINE_HIT_LINES_H
#define BRISEL_ENGINE_HIT_LINES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "brisel.h"
#include "hit_report.h"
#include "output/output_formats.h"

class HitLineFormatter {
 public:
  HitLineFormatter(const motifMappedMemoryCDT& motifs, OutputFormat format);

  // The state of the sequence being written; one per thread.
  struct SequenceState {
    std::string rowStart;               // tsv and gff3: the fields before the start position
    std::uint32_t motif = 0xFFFFFFFFu;  // whose E and P are formatted below
    std::string pipeNumbers;            // "E|P"
    std::string expectation;
    std::string probability;
  };

  // Begins the report of a sequence that has hits: the pipe format's header
  // line (">" and a database name, or the FASTA name line as it is, or nothing
  // for a raw sequence), or the start of each row of the other formats.
  void BeginSequence(std::string& out, SequenceState& state, std::string_view name,
                     NameKind kind) const;

  // The hit line of motif m at 0-based `start`; `statistics` are E and P after
  // motif m for this sequence.
  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment, std::uint64_t start) const;

 private:
  std::string_view Head(std::uint32_t m) const {
    return std::string_view(heads_).substr(headStarts_[m], headStarts_[m + 1] - headStarts_[m]);
  }

  OutputFormat format_;
  // Per motif, back to back: pipe "|s|record|"; tsv "record\t"; gff3
  // "\t.\t.\tName=..;Note=..;specificity=s;segment=".
  std::string heads_;
  std::vector<std::uint64_t> headStarts_;   // motif m's head: headStarts_[m] to [m + 1]
  std::vector<std::string> specificities_;  // tsv: "\ts\t" of each motif
};

#endif  // BRISEL_ENGINE_HIT_LINES_H
