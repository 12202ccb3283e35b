// SPDX-License-Identifier: MIT
// reference_translation.h: the tests' own slow translation of nucleotide
// records, the definition that the translation core and the translated search
// are tested against: every reading of each codon enumerated from the IUPAC
// letters, the reverse complement built as a string. Only the genetic codes'
// rows of amino acids come from the library.
#ifndef BRISEL_TESTS_REFERENCE_TRANSLATION_H
#define BRISEL_TESTS_REFERENCE_TRANSLATION_H

#include <cstdlib>
#include <map>
#include <set>
#include <string>

#include "translation/genetic_codes.h"

namespace brisel {

// The reference's own view of IUPAC: the bases of each letter, its complement.
inline const std::map<char, std::string> kBasesOf = {
    {'A', "A"},   {'C', "C"},   {'G', "G"},   {'T', "T"},   {'U', "T"},  {'R', "AG"},
    {'Y', "CT"},  {'S', "CG"},  {'W', "AT"},  {'K', "GT"},  {'M', "AC"}, {'B', "CGT"},
    {'D', "AGT"}, {'H', "ACT"}, {'V', "ACG"}, {'N', "ACGT"}};
inline const std::map<char, char> kComplementOf = {
    {'A', 'T'}, {'C', 'G'}, {'G', 'C'}, {'T', 'A'}, {'U', 'A'}, {'R', 'Y'}, {'Y', 'R'}, {'S', 'S'},
    {'W', 'W'}, {'K', 'M'}, {'M', 'K'}, {'B', 'V'}, {'V', 'B'}, {'D', 'H'}, {'H', 'D'}, {'N', 'N'}};

inline char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

inline char ReferenceCodon(const GeneticCode& code, char b1, char b2, char b3) {
  std::set<char> results;
  for (char x : kBasesOf.at(Upper(b1)))
    for (char y : kBasesOf.at(Upper(b2)))
      for (char z : kBasesOf.at(Upper(b3))) {
        const std::string order = "TCAG";
        results.insert(code.aminoAcids[16 * order.find(x) + 4 * order.find(y) + order.find(z)]);
      }
  return results.size() == 1 ? *results.begin() : 'X';
}

inline std::string ReverseComplement(const std::string& record) {
  std::string reversed;
  for (auto c = record.rbegin(); c != record.rend(); ++c)
    reversed += kComplementOf.at(Upper(*c));
  return reversed;
}

// The letters of frame `number` (+1..+3, -1..-3) of `record`.
inline std::string ReferenceFrame(const GeneticCode& code, const std::string& record, int number) {
  const std::string strand = number > 0 ? record : ReverseComplement(record);
  std::string letters;
  for (std::size_t at = static_cast<std::size_t>(std::abs(number)) - 1; at + 3 <= strand.size();
       at += 3)
    letters += ReferenceCodon(code, strand[at], strand[at + 1], strand[at + 2]);
  return letters;
}

}  // namespace brisel

#endif  // BRISEL_TESTS_REFERENCE_TRANSLATION_H
