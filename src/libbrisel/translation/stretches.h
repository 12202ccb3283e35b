// SPDX-License-Identifier: MIT
// stretches.h: a frame's translation cut at its stops into the protein
// sequences that the search reads, and their place on the record.
//
// A stretch is a maximal run of letters without '*' in a frame's
// translation: it runs from the frame's start or the letter after a stop to
// the letter before the next stop or the frame's end. Its first letter is
// counted in amino acids from the frame's first codon. Stretches are never
// empty (two stops in a row make none between them); those shorter than a
// minimum length are left out. 'X' does not cut a stretch.
//
// MapToRecord gives a range of a frame's amino acids as 1-based, inclusive
// positions on the record's forward strand (start <= end on both strands):
// amino acids [first, end) of frame +k cover forward bases k + 3 first to
// k - 1 + 3 end; of frame -k, in a record of n bases, forward bases
// n - k - 3 end + 2 to n - k - 3 first + 1.
//
// The functions keep nothing: ForEachStretch hands each stretch to the
// caller's function as it finds it, FindStretches returns them in a vector.
#ifndef BRISEL_TRANSLATION_STRETCHES_H
#define BRISEL_TRANSLATION_STRETCHES_H

#include <cstdint>
#include <string_view>
#include <vector>

#include "translation/codon_table.h"
#include "translation/reading_frames.h"

namespace brisel {

struct Stretch {
  ReadingFrame frame;
  std::uint64_t first;   // the first amino acid's index in the frame
  std::uint64_t length;  // in amino acids, at least 1

  friend bool operator==(const Stretch&, const Stretch&) = default;
};

// Calls visit(Stretch) for each stretch of at least minLength letters (1 when
// minLength is 0) of `letters`, the translation of `frame` from amino acid
// `firstIndex` on, in order. The ends of `letters` count as the frame's ends:
// a caller that cuts a frame into pieces cuts after a stop (or merges the
// stretches that run across its cuts).
template <typename Visit>
void ForEachStretch(std::string_view letters, ReadingFrame frame, std::uint64_t firstIndex,
                    std::uint64_t minLength, Visit&& visit) {
  if (minLength == 0) minLength = 1;
  std::size_t start = 0;
  while (start <= letters.size()) {
    std::size_t stop = letters.find(kStopLetter, start);
    if (stop == std::string_view::npos) stop = letters.size();
    if (stop - start >= minLength) visit(Stretch{frame, firstIndex + start, stop - start});
    start = stop + 1;
  }
}

std::vector<Stretch> FindStretches(std::string_view letters, ReadingFrame frame,
                                   std::uint64_t firstIndex, std::uint64_t minLength);

struct RecordRange {
  std::uint64_t start;  // 1-based, inclusive, on the forward strand
  std::uint64_t end;    // 1-based, inclusive, start <= end
  char strand;          // '+' or '-'
};

// Amino acids firstAminoAcid to endAminoAcid - 1 of `frame` (0-based, end
// after first, all within the frame of a record of recordLength bases) as
// forward-strand positions.
constexpr RecordRange MapToRecord(ReadingFrame frame, std::uint64_t recordLength,
                                  std::uint64_t firstAminoAcid, std::uint64_t endAminoAcid) {
  const std::uint64_t k = frame.offset() + 1;
  if (!frame.reverse()) return {k + 3 * firstAminoAcid, k - 1 + 3 * endAminoAcid, '+'};
  return {recordLength - k - 3 * endAminoAcid + 2, recordLength - k - 3 * firstAminoAcid + 1, '-'};
}

}  // namespace brisel

#endif  // BRISEL_TRANSLATION_STRETCHES_H
