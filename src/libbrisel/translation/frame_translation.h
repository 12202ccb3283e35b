// SPDX-License-Identifier: MIT
// frame_translation.h: the protein letters of a reading frame of a nucleotide
// record, whole or a range of its codons at a time.
//
// Codon j (from 0) of frame +k lies on forward bases k - 1 + 3j to
// k + 1 + 3j (0-based); codon j of frame -k lies on forward bases n - k - 2 -
// 3j to n - k - 3j of a record of n bases, read as their reverse complement.
// A frame has CodonCount codons; its translation has one letter per codon:
// an amino acid, '*' for a stop, 'X' for an ambiguous codon (codon_table.h).
//
// TranslateCodons fills a caller's buffer with any range of a frame's codons,
// so that threads can translate pieces of one long record side by side and a
// search can hold a piece of a frame instead of a whole one; the pieces'
// letters are those of the whole frame's translation, whatever the cut. The
// record's bytes are read as they are (upper or lower case, U as T); bytes
// that are no nucleotide letter must have been refused before (they translate
// to 'X'). Reverse frames read the forward bytes backwards through the codon
// table's reverse array: no reverse complement of the record is made.
//
// Nothing here allocates but TranslateFrame, which returns a new string; the
// record and the buffers are the caller's, only read or written during the
// call.
#ifndef BRISEL_TRANSLATION_FRAME_TRANSLATION_H
#define BRISEL_TRANSLATION_FRAME_TRANSLATION_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "translation/codon_table.h"
#include "translation/reading_frames.h"

namespace brisel {

// The number of whole codons of `frame` in a record of `recordLength` bases.
constexpr std::uint64_t CodonCount(std::uint64_t recordLength, ReadingFrame frame) {
  return recordLength >= frame.offset() + 3 ? (recordLength - frame.offset()) / 3 : 0;
}

// Writes the letters of codons firstCodon to firstCodon + out.size() - 1 of
// `frame` of `record` to `out`. A range past the frame's last codon throws
// std::out_of_range (nothing written).
void TranslateCodons(const CodonTable& table, std::string_view record, ReadingFrame frame,
                     std::uint64_t firstCodon, std::span<char> out);

// The letters of the whole frame.
std::string TranslateFrame(const CodonTable& table, std::string_view record, ReadingFrame frame);

}  // namespace brisel

#endif  // BRISEL_TRANSLATION_FRAME_TRANSLATION_H
