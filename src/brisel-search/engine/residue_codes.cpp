// SPDX-License-Identifier: MIT
// residue_codes.cpp: residue masks and texts to padded letter codes, and the
// check that a database sequence's letter position lists are its own.
#include "engine/residue_codes.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace {

constexpr std::uint32_t kLetters = 26;

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
                                      CodesFromMasksKernel codesFromMasks) {
  const std::uint64_t length = sequence.length;
  std::uint8_t* const codes = Resize(length);
  std::uint64_t blanks = 0;
  const std::uint32_t odd = codesFromMasks(sequence.residues, length, codes, Classes(), blanks);
  const std::uint64_t letters = length - blanks;
  if (odd != 0) return false;
  if (length == 0) return sequence.letterLists[kLetters] == sequence.letterLists[0];

  // Each list must ascend and end below the length; then it writes its letter
  // at each of its positions. When every residue then holds its own code
  // (letters their letter, the others still kNoLetter) and the lists hold as
  // many entries as there are letters, each letter's list is exactly its
  // positions: every letter position was written by an entry of its own list,
  // those are as many entries as there are, and no list repeats a position.
  //
  // The lists lie one after the other (the database check saw to that), so
  // they ascend when the only places where an entry is not above the one
  // before are where a list starts: the descents of all entries are counted
  // in one pass that the vectoriser takes, then those at list starts.
  const std::uint32_t* const lists = sequence.letterLists;
  const std::uint64_t entries = lists[kLetters] - lists[0];
  if (entries != letters) return false;
  const std::uint32_t* const positions = sequence.positions + lists[0];
  std::uint32_t descents = 0;  // a sequence's length fits 32 bits
  for (std::uint64_t i = 1; i < entries; ++i)
    descents += positions[i] <= positions[i - 1] ? 1u : 0u;
  for (std::uint32_t k = 0; k < kLetters; ++k) {
    const std::uint64_t begin = lists[k] - lists[0], end = lists[k + 1] - lists[0];
    if (begin == end) continue;
    if (begin > 0 && positions[begin] <= positions[begin - 1]) --descents;
    if (positions[end - 1] >= length) return false;
  }
  if (descents != 0) return false;

  if (claimed_.size() < length) claimed_.resize(length);
  std::uint8_t* const claimed = claimed_.data();
  std::memset(claimed, kNoLetter, length);
  for (std::uint32_t k = 0; k < kLetters; ++k) {
    // Bytes written may alias anything: the bounds are held in locals.
    const std::uint32_t* const end = positions + (lists[k + 1] - lists[0]);
    const auto letter = static_cast<std::uint8_t>(k);
    for (const std::uint32_t* p = positions + (lists[k] - lists[0]); p < end; ++p)
      claimed[*p] = letter;
  }
  return std::memcmp(claimed, codes, length) == 0;
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
