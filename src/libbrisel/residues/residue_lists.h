// SPDX-License-Identifier: MIT
// residue_lists.h: the residue masks and letter position lists of a sequence,
// as a sequence database holds them.
//
// Every byte of a sequence's text has a residue mask, its letter's bit (upper
// and lower case alike) or 0 (letter_masks.h), and a letter index, 0 to 25 or
// kNotALetter. The sequence's 26 letter position lists hold, letter by letter
// from 'A' to 'Z', the ascending positions at which that letter stands; a
// byte that is not a letter stands in none. brisel-makedb writes masks and
// lists into the blocks of a database; the direct search of a FASTA file forms
// them in memory for each record (ListedText) with the same functions, so that
// both searches walk the same lists.
//
// A ListedText owns its arrays and reuses them from one text to the next; what
// it hands out stays valid until it forms the next text.
#ifndef BRISEL_RESIDUES_RESIDUE_LISTS_H
#define BRISEL_RESIDUES_RESIDUE_LISTS_H

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "residues/letter_masks.h"

namespace brisel {

// How many residues of each letter a text holds, and last how many other bytes.
using LetterCounts = std::array<std::uint64_t, kLetterCount + 1>;

// Stores the mask and the letter index of each byte of `text` in `masks` and
// `letters` (text.size() elements each), and adds its letters to `counts`.
void CodeResidues(std::string_view text, std::uint32_t* masks, std::uint8_t* letters,
                  LetterCounts& counts);

// Stores in `positions` the letter position lists of a text whose letter
// indexes are `letters` and whose letters `counts` counted: the positions of
// 'A' in ascending order, then those of 'B', and so on. `positions` holds the
// 26 letters' counts together.
void SortLetterPositions(std::span<const std::uint8_t> letters, const LetterCounts& counts,
                         std::uint32_t* positions);

// The masks and lists of one text, in memory.
class ListedText {
 public:
  // The longest text: positions are 32-bit, as in a database.
  static constexpr std::uint64_t kMaxLength = 0xFFFFFFFFu;

  // Forms the masks and lists of `text`, at most kMaxLength bytes.
  void Form(std::string_view text);

  std::uint64_t length() const { return masks_.size(); }
  const std::uint32_t* masks() const { return masks_.data(); }
  // 27 entries: the list of letter k is positions()[lists()[k]] up to
  // positions()[lists()[k + 1]].
  const std::uint32_t* lists() const { return lists_.data(); }
  const std::uint32_t* positions() const { return positions_.data(); }

 private:
  std::vector<std::uint32_t> masks_;
  std::vector<std::uint8_t> letters_;
  std::vector<std::uint32_t> positions_;
  std::array<std::uint32_t, kLetterCount + 1> lists_{};
};

}  // namespace brisel

#endif  // BRISEL_RESIDUES_RESIDUE_LISTS_H
