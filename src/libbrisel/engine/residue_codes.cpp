// SPDX-License-Identifier: MIT
// residue_codes.cpp: residue masks and texts to padded letter codes, and the
// check that a database sequence's letter position lists are its own.
#include "engine/residue_codes.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "residues/letter_masks.h"

namespace brisel {

namespace {

// Letter codes of text characters: 'A' to 'Z' and 'a' to 'z' as 0 to 25,
// everything else kNoLetter.
struct TextCodes {
  std::uint8_t code[256];
  constexpr TextCodes() : code() {
    for (int c = 0; c < 256; ++c) {
      code[c] = kNoLetter;
      if (c >= 'A' && c <= 'Z') code[c] = static_cast<std::uint8_t>(c - 'A');
      if (c >= 'a' && c <= 'z') code[c] = static_cast<std::uint8_t>(c - 'a');
    }
  }
};
constexpr TextCodes kTextCodes;

}  // namespace

std::uint32_t ClassMask(std::uint32_t letters) {
  std::uint32_t classes = 0;
  for (letters &= kAllLettersMask; letters != 0; letters &= letters - 1) {
    classes |= std::uint32_t{1} << ClassOf(static_cast<std::uint8_t>(std::countr_zero(letters)));
  }
  return classes;
}

std::uint8_t* ResidueCodes::Resize(std::uint64_t length) {
  const std::uint64_t needed = kCodePaddingBefore + length + kCodePaddingAfter;
  // The padding before the residues is never written but here; the padding
  // after them is where a longer sequence's codes were.
  if (buffer_.size() < needed) {
    buffer_.resize(needed, kNoLetter);
    classes_.resize(needed, kOtherClass);
  }
  std::memset(buffer_.data() + kCodePaddingBefore + length, kNoLetter, kCodePaddingAfter);
  std::memset(classes_.data() + kCodePaddingBefore + length, kOtherClass, kCodePaddingAfter);
  length_ = length;
  return buffer_.data() + kCodePaddingBefore;
}

bool ResidueCodes::FromListedSequence(const ListedSequence& sequence,
                                      const ResidueKernels& kernels) {
  const std::uint64_t length = sequence.length;
  std::uint8_t* const codes = Resize(length);
  std::uint64_t blanks = 0;
  const std::uint32_t odd =
      kernels.codesFromMasks(sequence.residues, length, codes, Classes(), blanks);
  if (odd != 0) return false;

  // When every list entry holds a position whose code is its list's letter,
  // each list ascends, and the lists hold as many entries as there are
  // letters, each letter's list is exactly its positions: a list's entries are
  // distinct positions of its letter, and together as many as there are.
  // The lists lie one after the other (the database check saw to that); each
  // entry's letter is written out for the kernel.
  const std::uint32_t* const lists = sequence.letterLists;
  const std::uint64_t entries = lists[kLetterCount] - lists[0];
  if (entries != length - blanks) return false;
  if (letters_.size() < entries + 8) letters_.resize(entries + 8);
  for (std::uint32_t k = 0; k < kLetterCount; ++k) {
    if (lists[k + 1] < lists[k]) return false;
    std::memset(letters_.data() + (lists[k] - lists[0]), static_cast<int>(k),
                lists[k + 1] - lists[k]);
  }
  return kernels.listsDisagree(sequence.positions + lists[0], letters_.data(), entries, codes,
                               length) == 0;
}

void ResidueCodes::FromText(std::string_view text, std::vector<std::uint32_t>& masks) {
  const std::uint64_t length = text.size();
  std::uint8_t* const codes = Resize(length);
  std::uint8_t* const classes = Classes();
  masks.resize(length);
  for (std::uint64_t p = 0; p < length; ++p) {
    const std::uint8_t code = kTextCodes.code[static_cast<unsigned char>(text[p])];
    codes[p] = code;
    classes[p] = kClassTable.of[code];
    masks[p] = code == kNoLetter ? 0u : 1u << code;
  }
}

}  // namespace brisel
