// SPDX-License-Identifier: MIT
#include "translation/nucleotide_codes.h"

namespace brisel {

std::size_t FindNonNucleotide(std::string_view bases) {
  // Eight bytes at a time: the OR of their masks' "absent" flags (mask 0 gives
  // 1) is 0 for a run of letters, the common case.
  const std::size_t size = bases.size();
  std::size_t at = 0;
  for (; at + 8 <= size; at += 8) {
    unsigned absent = 0;
    for (std::size_t k = 0; k < 8; ++k)
      absent |= NucleotideMask(bases[at + k]) == kNotNucleotide;
    if (absent != 0) break;
  }
  for (; at < size; ++at)
    if (NucleotideMask(bases[at]) == kNotNucleotide) return at;
  return std::string_view::npos;
}

}  // namespace brisel
