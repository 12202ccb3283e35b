// SPDX-License-Identifier: MIT
// hit_report.h: the hit statistics of a sequence and the lines that report hits.
//
// For each sequence the expectation E of random hits starts at 0 and the
// probability P of no random hit at 1. Each motif, in database order, that is
// not wider than the sequence first adds its expected random hits to E:
//   E' = ((L x s - c) + s) + E
// formed in extended precision (64-bit significand) from the double operands,
// in exactly that order. The unrounded E' is compared with the cut-off (a sum
// equal to the cut-off passes); E' rounded to double becomes the running E. A
// motif that passes then multiplies P by pow(1 - s, L - w + 1), the chance that
// none of its L - w + 1 placements matches at random. Only then are its
// placements tried. The same operations in the same order give the same bits on
// every run, which is what keeps the report byte-exact.
//
// An anchored motif (motif_database.h) has one placement where it fits, and
// its terms are those of one placement: E' = s + E, formed in extended
// precision from the double operands like the sum above, and the factor
// pow(1 - s, 1). Where it has no placement (a sequence narrower than the
// motif, or one not exactly as wide as a motif anchored at both ends) it
// counts nowhere, as an unanchored motif wider than the sequence.
//
// P is brought up to date lazily: the factors of the motifs tried so far are
// applied, in database order and by the same operations, only when a hit line
// needs P, so that sequences without hits never pay for the power function and
// every P printed has the same bits as one multiplied out motif by motif.
//
// Each hit is one line "E|P|s|record|segment|start|end" with E as %.2e, P as
// %.3f, s as %.3e, and 1-based inclusive positions. Texts are written up to
// their first NUL byte, as C strings would be. The numbers come from
// number_format.h, the same bytes as printf's, without printf's cost.
#ifndef BRISEL_HIT_REPORT_H
#define BRISEL_HIT_REPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "brisel.h"
#include "database/motif_database.h"

// Reports are collected in memory and written in pieces of about this size.
inline constexpr std::size_t kReportFlushBytes = std::size_t{1} << 20;

struct HitStatistics {
  double expectation = 0.0;
  double probabilityOfNoRandomHit = 1.0;  // holds the factors of the motifs before nextFactor
  std::uint32_t nextFactor = 0;           // the first motif whose factor P may still lack
};

// Adds a motif's expected random hits to the expectation. Returns false when the
// unrounded sum exceeds the cut-off: the motif and every later one are then not
// tried on this sequence.
inline bool AddExpectedRandomHits(HitStatistics& statistics, std::uint64_t sequenceLength,
                                  double specificity, double lengthCorrection,
                                  double cutoffExpectation) {
  // Every operation is carried out in long double (the x87 80-bit format,
  // 64-bit significand): the length is converted exactly, then multiplied, the
  // length correction subtracted, the specificity added, then the running
  // expectation.
  long double sum = static_cast<long double>(sequenceLength);
  sum *= static_cast<long double>(specificity);
  sum -= static_cast<long double>(lengthCorrection);
  sum += static_cast<long double>(specificity);
  sum += static_cast<long double>(statistics.expectation);
  statistics.expectation = static_cast<double>(sum);
  return !(sum > static_cast<long double>(cutoffExpectation));
}

// The same for a motif of one placement, an anchored one.
inline bool AddAnchoredExpectedRandomHits(HitStatistics& statistics, double specificity,
                                          double cutoffExpectation) {
  long double sum = static_cast<long double>(specificity);
  sum += static_cast<long double>(statistics.expectation);
  statistics.expectation = static_cast<double>(sum);
  return !(sum > static_cast<long double>(cutoffExpectation));
}

// Multiplies the probability of no random hit by the motif's factor.
void MultiplyProbabilityOfNoRandomHit(HitStatistics& statistics, std::uint64_t sequenceLength,
                                      std::uint32_t motifWidth, double specificity);

// The two steps for motif m of a database, whatever its anchor; the motif must
// have a placement in the sequence (PlacementCount above 0). The first is
// inline: the per-length memo runs it for every motif of every length.
inline bool AddMotifExpectedRandomHits(HitStatistics& statistics,
                                       const motifMappedMemoryCDT& motifs, std::uint32_t m,
                                       std::uint64_t sequenceLength, double cutoffExpectation) {
  if (MotifAnchorOf(motifs, m) != kUnanchored) {
    return AddAnchoredExpectedRandomHits(statistics, motifs.specificities[m], cutoffExpectation);
  }
  return AddExpectedRandomHits(statistics, sequenceLength, motifs.specificities[m],
                               motifs.lengthCorrections[m], cutoffExpectation);
}
void MultiplyMotifProbabilityOfNoRandomHit(HitStatistics& statistics,
                                           const motifMappedMemoryCDT& motifs, std::uint32_t m,
                                           std::uint64_t sequenceLength);

// Whether motif m has a placement in a sequence of `sequenceLength`, and so
// takes part in its statistics.
inline bool MotifHasPlacement(const motifMappedMemoryCDT& motifs, std::uint32_t m,
                              std::uint64_t sequenceLength) {
  return PlacementCount(MotifAnchorOf(motifs, m), MotifWidth(motifs, m), sequenceLength) != 0;
}

// Applies the factors of motifs nextFactor to `motifIndex` that have a
// placement in the sequence (every such motif has passed the cut-off), in
// database order, so that P includes `motifIndex`.
void CatchUpProbability(HitStatistics& statistics, const motifMappedMemoryCDT& motifs,
                        std::uint64_t sequenceLength, std::uint32_t motifIndex);

// Writes `text` up to its first NUL byte.
void WriteTextUntilNul(std::FILE* out, std::string_view text);

// Writes the hit line of a hit whose segment starts at 0-based `start`.
void WriteHitLine(std::FILE* out, const HitStatistics& statistics, double specificity,
                  std::string_view record, std::string_view segment, std::uint64_t start);

// Writes "Processing Sequence <n>\r".
void WriteProgressLine(std::FILE* err, std::uint64_t sequenceNumber);

// Appends the same bytes to a buffer.
void AppendProgressLine(std::string& err, std::uint64_t sequenceNumber);

#endif  // BRISEL_HIT_REPORT_H
