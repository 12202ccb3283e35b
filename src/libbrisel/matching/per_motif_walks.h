// SPDX-License-Identifier: MIT
// per_motif_walks.h: the walks that try one motif on one sequence, as both
// searches were first written, motif by motif.
//
// They define which placements each search reports and in which order, so the
// multi-motif engine is tested against them, and the engine falls back to them
// for what its index does not cover: motifs with no selective window, and
// database sequences whose residue masks or letter position lists are not the
// ones a builder writes.
//
// - The homing walk (indexed search): for each homing letter from 'A' to 'Z',
//   each position p of that letter's list at or after the homing position h
//   places the motif at p - h; the walk of a list ends at the first placement
//   that would run past the end of the sequence. Each placement is verified
//   position by position against the residue masks. Any stored position is
//   safe: start + width is formed in 64 bits.
// - The bitmap walk (scan search): every start from 0 to L - w, in increasing
//   order, at which the motif's first-checked position matches (read from the
//   sequence's letter bitmaps), verified in full.
// - The anchored check (both searches, for anchored motifs only): the one
//   placement of the motif, if it has one (motif_database.h), verified in full;
//   in the indexed search only if the residue at the homing position holds a
//   homing letter, the condition under which the homing walk would reach it.
//
// All call visit(start, letterIndex) for each hit, in report order; the scan
// search passes letter index 0, the anchored check the lowest homing letter of
// the residue at the homing position.
#ifndef BRISEL_REFERENCE_PER_MOTIF_WALKS_H
#define BRISEL_REFERENCE_PER_MOTIF_WALKS_H

#include <bit>
#include <cstdint>

#include "database/motif_database.h"
#include "matching/motif_matching.h"
#include "residues/letter_masks.h"
#include "statistics/hit_statistics.h"

namespace brisel {

// One motif as the walks see it.
struct MotifView {
  const std::uint32_t* masks;  // one letter mask per position
  std::uint32_t width;
  std::uint32_t homingMask;
  std::uint32_t homingOffset;
  CheckOrder order;  // positions to test first (see motif_matching.h)
  MotifAnchor anchor = kUnanchored;
};

// A database sequence with its 26 letter position lists: list k is
// positions[letterLists[k]] up to positions[letterLists[k + 1]].
struct ListedSequence {
  std::uint64_t length;
  const std::uint32_t* residues;
  const std::uint32_t* letterLists;
  const std::uint32_t* positions;
};

template <typename Visit>
void WalkHomingLetterLists(const MotifView& motif, const ListedSequence& sequence, Visit visit) {
  const std::uint32_t first = motif.order.first;
  const std::uint32_t firstMask = motif.masks[first];
  for (std::uint32_t homing = motif.homingMask & kAllLettersMask; homing != 0;
       homing &= homing - 1) {
    const int letterIndex = std::countr_zero(homing);
    const std::uint32_t listEnd = sequence.letterLists[letterIndex + 1];
    for (std::uint32_t entry = sequence.letterLists[letterIndex]; entry < listEnd; ++entry) {
      const std::uint32_t position = sequence.positions[entry];
      if (position < motif.homingOffset) continue;
      const std::uint64_t start = position - motif.homingOffset;
      if (start + motif.width > sequence.length) break;
      if ((sequence.residues[start + first] & firstMask) == 0) continue;
      if (!PlacementMatches(sequence.residues + start, motif.masks, motif.width, motif.order)) {
        continue;
      }
      visit(start, static_cast<std::uint32_t>(letterIndex));
    }
  }
}

// `bitmaps` must have been built from `residues` (of `length` masks); the
// motif must not be wider than the sequence.
template <typename Visit>
void WalkStartsByBitmaps(const MotifView& motif, const std::uint32_t* residues,
                         std::uint64_t length, LetterBitmaps& bitmaps, Visit visit) {
  bitmaps.ForEachStartMatching(
      motif.masks[motif.order.first], motif.order.first, length - motif.width,
      [&](std::uint64_t start) {
        if (PlacementMatches(residues + start, motif.masks, motif.width, motif.order)) {
          visit(start, 0u);
        }
      });
}

template <typename Visit>
void CheckAnchoredPlacement(const MotifView& motif, const std::uint32_t* residues,
                            std::uint64_t length, bool homing, Visit visit) {
  if (PlacementCount(motif.anchor, motif.width, length) == 0) return;
  const std::uint64_t start = AnchoredStart(motif.anchor, motif.width, length);
  std::uint32_t letterIndex = 0;
  if (homing) {
    const std::uint32_t letters =
        residues[start + motif.homingOffset] & motif.homingMask & kAllLettersMask;
    if (letters == 0) return;
    letterIndex = static_cast<std::uint32_t>(std::countr_zero(letters));
  }
  if (!PlacementMatches(residues + start, motif.masks, motif.width, motif.order)) return;
  visit(start, letterIndex);
}

}  // namespace brisel

#endif  // BRISEL_REFERENCE_PER_MOTIF_WALKS_H
