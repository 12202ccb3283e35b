// SPDX-License-Identifier: MIT
// residue_lists.cpp: masks, letter indexes and the lists sorted by letter.
#include "residues/residue_lists.h"

#include <bit>

#include "base/assertion.h"
#include "residues/letter_masks.h"

namespace brisel {

void CodeResidues(std::string_view text, std::uint32_t* masks, std::uint8_t* letters,
                  LetterCounts& counts) {
  const ResidueTables& tables = kResidueTables;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    masks[i] = tables.mask[c];
    letters[i] = tables.letter[c];
    ++counts[letters[i]];
  }
}

void SortLetterPositions(std::span<const std::uint8_t> letters, const LetterCounts& counts,
                         std::uint32_t* positions) {
  std::array<std::uint64_t, kLetterCount + 1> next{};
  for (std::size_t k = 0; k < kLetterCount; ++k)
    next[k + 1] = next[k] + counts[k];
  for (std::size_t p = 0; p < letters.size(); ++p) {
    const std::uint8_t k = letters[p];
    if (k != kNotALetter) positions[next[k]++] = static_cast<std::uint32_t>(p);
  }
}

void ListedText::Form(std::string_view text) {
  BRISEL_ASSERT(text.size() <= kMaxLength, "text.size() <= kMaxLength");
  masks_.resize(text.size());
  letters_.resize(text.size());
  LetterCounts counts{};
  CodeResidues(text, masks_.data(), letters_.data(), counts);
  std::uint64_t listed = 0;
  for (std::size_t k = 0; k < kLetterCount; ++k) {
    lists_[k] = static_cast<std::uint32_t>(listed);
    listed += counts[k];
  }
  lists_[kLetterCount] = static_cast<std::uint32_t>(listed);
  positions_.resize(listed);
  SortLetterPositions(letters_, counts, positions_.data());
}

}  // namespace brisel
