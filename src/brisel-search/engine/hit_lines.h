// hit_lines.h: formats the report of one sequence into a byte buffer.
//
// The bytes are those of hit_report.h: a header line, then one line
//   E|P|s|record|segment|start|end
// per hit, E as %.2e, P as %.3f, s as %.3e, 1-based inclusive positions, and
// every text up to its first NUL byte. The part "|s|record|" of each motif is
// formatted once when the formatter is made; E and P once per run of hits of
// the same motif in one sequence, since they depend only on the motif and the
// sequence's length.
#ifndef BRISEL_ENGINE_HIT_LINES_H
#define BRISEL_ENGINE_HIT_LINES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "brisel.h"
#include "hit_report.h"

class HitLineFormatter {
 public:
  explicit HitLineFormatter(const motifMappedMemoryCDT& motifs);

  // `prefix` (">" or nothing), the name up to its first NUL byte, a newline.
  static void AppendHeader(std::string& out, std::string_view prefix, std::string_view name);

  // "E|P" of the last motif written in the current sequence; one per thread,
  // reset for every sequence.
  struct Numbers {
    std::uint32_t motif = 0xFFFFFFFFu;
    std::string text;
    void Reset() { motif = 0xFFFFFFFFu; }
  };

  // The hit line of motif m at 0-based `start`; `statistics` are E and P after
  // motif m for this sequence.
  void AppendHitLine(std::string& out, Numbers& numbers, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment, std::uint64_t start) const;

 private:
  std::string motifParts_;                 // "|s|record|" of every motif, back to back
  std::vector<std::uint64_t> partStarts_;  // motif m's part: partStarts_[m] to [m + 1]
};

#endif  // BRISEL_ENGINE_HIT_LINES_H
