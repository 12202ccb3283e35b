// SPDX-License-Identifier: MIT
// codon_table.h: one genetic code's translation of every codon of IUPAC
// letters, looked up by the three letters' masks.
//
// A codon's readings are every codon of single bases that its three masks
// allow (1 to 64 of them). It translates to the amino acid that all its
// readings give; to '*' when all of them are stops; and to 'X' when they
// disagree (two amino acids, or an amino acid and a stop). So NNN is 'X',
// TAR is '*' and GCN is 'A' in the standard code. A codon with a mask of 0
// (a byte that is no nucleotide letter) has no reading and is 'X', never a
// stop: the reader of a record refuses such bytes before it translates.
//
// The table holds two arrays of 4096 letters indexed by CodonIndex(m1, m2,
// m3) = m1 << 8 | m2 << 4 | m3: the forward one translates the codon m1 m2
// m3; the reverse one translates the reverse strand's codon that lies on the
// forward bases m1 m2 m3, which is complement(m3) complement(m2)
// complement(m1). A reverse frame is thus read on the forward strand, in
// descending order, without a reverse-complement copy of the record.
//
// Ownership: a CodonTable owns its arrays (8 KiB), is built once per search
// and is read-only after construction, so threads share it. It keeps a
// pointer to its GeneticCode, which is static data.
#ifndef BRISEL_TRANSLATION_CODON_TABLE_H
#define BRISEL_TRANSLATION_CODON_TABLE_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "translation/genetic_codes.h"

namespace brisel {

inline constexpr char kStopLetter = '*';
inline constexpr char kUnknownAminoAcid = 'X';

constexpr std::size_t CodonIndex(std::uint8_t first, std::uint8_t second, std::uint8_t third) {
  return static_cast<std::size_t>((first & 15) << 8 | (second & 15) << 4 | (third & 15));
}

class CodonTable {
 public:
  explicit CodonTable(const GeneticCode& code);

  const GeneticCode& code() const { return *code_; }

  // The amino acid of the codon whose bases have the masks m1, m2, m3, at
  // codonIndex = CodonIndex(m1, m2, m3), below 4096.
  char Forward(std::size_t codonIndex) const { return forward_[codonIndex]; }
  // The amino acid of the reverse strand's codon that lies on forward bases
  // with the masks m1, m2, m3 (in forward order), at CodonIndex(m1, m2, m3).
  char Reverse(std::size_t codonIndex) const { return reverse_[codonIndex]; }

  const char* forwardData() const { return forward_.data(); }
  const char* reverseData() const { return reverse_.data(); }

 private:
  const GeneticCode* code_;
  std::array<char, 4096> forward_;
  std::array<char, 4096> reverse_;
};

}  // namespace brisel

#endif  // BRISEL_TRANSLATION_CODON_TABLE_H
