// SPDX-License-Identifier: MIT
#include "translation/codon_table.h"

#include "translation/nucleotide_codes.h"

namespace brisel {
namespace {

// The one amino acid (or '*') that every reading of the codon m1 m2 m3 gives,
// else 'X'; 'X' too for a codon without readings.
char TranslateReadings(const GeneticCode& code, unsigned m1, unsigned m2, unsigned m3) {
  char agreed = 0;
  for (unsigned b1 = 1; b1 <= 8; b1 <<= 1) {
    if ((m1 & b1) == 0) continue;
    for (unsigned b2 = 1; b2 <= 8; b2 <<= 1) {
      if ((m2 & b2) == 0) continue;
      for (unsigned b3 = 1; b3 <= 8; b3 <<= 1) {
        if ((m3 & b3) == 0) continue;
        const char letter = code.aminoAcids[CodonPosition(b1, b2, b3)];
        if (agreed != 0 && letter != agreed) return kUnknownAminoAcid;
        agreed = letter;
      }
    }
  }
  return agreed != 0 ? agreed : kUnknownAminoAcid;
}

}  // namespace

CodonTable::CodonTable(const GeneticCode& code) : code_(&code) {
  for (std::uint8_t m1 = 0; m1 < 16; ++m1) {
    for (std::uint8_t m2 = 0; m2 < 16; ++m2) {
      for (std::uint8_t m3 = 0; m3 < 16; ++m3) {
        const std::size_t index = CodonIndex(m1, m2, m3);
        forward_[index] = TranslateReadings(code, m1, m2, m3);
        reverse_[index] =
            TranslateReadings(code, ComplementMask(m3), ComplementMask(m2), ComplementMask(m1));
      }
    }
  }
}

}  // namespace brisel
