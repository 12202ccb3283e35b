// SPDX-License-Identifier: MIT
// hit_statistics.h: the expectation of random hits and the probability of no
// random hit of a sequence, motif by motif.
//
// For each sequence the expectation E of random hits starts at 0 and the
// probability P of no random hit at 1. Each motif, in database order, that has
// a placement in the sequence first adds its expected random hits to E:
//   E' = ((L x s - c) + s) + E
// formed in extended precision (64-bit significand) from the double operands,
// in exactly that order. The unrounded E' is compared with the cut-off (a sum
// equal to the cut-off passes); E' rounded to double becomes the running E. A
// motif that passes then multiplies P by pow(1 - s, n), the chance that none
// of its n placements matches at random. Only then are its placements tried.
// The same operations in the same order give the same bits on every run,
// which is what keeps the report byte-exact.
//
// Placements: an unanchored motif of width w has L - w + 1 in a sequence of
// L residues, none when it is wider. An anchored motif (motif_database.h)
// has at most one, and its terms are those of one placement: E' = s + E,
// formed in extended precision like the sum above, and the factor
// pow(1 - s, 1). Where it has no placement (a sequence narrower than the
// motif, or one not exactly as wide as a motif anchored at both ends) it
// counts nowhere, as an unanchored motif wider than the sequence.
#ifndef BRISEL_STATISTICS_HIT_STATISTICS_H
#define BRISEL_STATISTICS_HIT_STATISTICS_H

#include <cstdint>

#include "database/motif_database.h"

namespace brisel {

// The cut-off 10^N, in double precision.
double CutoffFromExponent(std::int32_t exponent);

struct HitStatistics {
  double expectation = 0.0;
  double probabilityOfNoRandomHit = 1.0;
};

// The number of placements of a motif of width w with `anchor` in a sequence
// of `length` residues.
inline std::uint64_t PlacementCount(MotifAnchor anchor, std::uint32_t width, std::uint64_t length) {
  if (width > length) return 0;
  if (anchor == kUnanchored) return length - width + 1;
  if (anchor == kAnchoredAtBothEnds) return width == length ? 1 : 0;
  return 1;
}

// The start of an anchored motif's placement; the motif must have one.
inline std::uint64_t AnchoredStart(MotifAnchor anchor, std::uint32_t width, std::uint64_t length) {
  return anchor == kAnchoredAtEnd ? length - width : 0;
}

// Whether motif m has a placement in a sequence of `sequenceLength`, and so
// takes part in its statistics.
inline bool MotifHasPlacement(const MotifViews& motifs, std::uint32_t m,
                              std::uint64_t sequenceLength) {
  return PlacementCount(MotifAnchorOf(motifs, m), MotifWidth(motifs, m), sequenceLength) != 0;
}

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

// Multiplies the probability of no random hit by pow(1 - s, placements).
void MultiplyProbabilityOfNoRandomHit(HitStatistics& statistics, double specificity,
                                      std::uint64_t placements);

// The two steps for motif m of a database, whatever its anchor; the motif must
// have a placement in the sequence. The first is inline: the per-length memo
// runs it for every motif of every length.
inline bool AddMotifExpectedRandomHits(HitStatistics& statistics, const MotifViews& motifs,
                                       std::uint32_t m, std::uint64_t sequenceLength,
                                       double cutoffExpectation) {
  if (MotifAnchorOf(motifs, m) != kUnanchored) {
    return AddAnchoredExpectedRandomHits(statistics, motifs.specificities[m], cutoffExpectation);
  }
  return AddExpectedRandomHits(statistics, sequenceLength, motifs.specificities[m],
                               motifs.lengthCorrections[m], cutoffExpectation);
}
inline void MultiplyMotifProbabilityOfNoRandomHit(HitStatistics& statistics,
                                                  const MotifViews& motifs, std::uint32_t m,
                                                  std::uint64_t sequenceLength) {
  MultiplyProbabilityOfNoRandomHit(
      statistics, motifs.specificities[m],
      PlacementCount(MotifAnchorOf(motifs, m), MotifWidth(motifs, m), sequenceLength));
}

}  // namespace brisel

#endif  // BRISEL_STATISTICS_HIT_STATISTICS_H
