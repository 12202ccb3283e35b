// SPDX-License-Identifier: MIT
// genetic_codes.h: NCBI's translation tables ("genetic codes"), by id.
//
// Every table that NCBI's Genetic Codes page lists today (last updated
// 23 September 2024): ids 1-6, 9-16 and 21-33, 27 tables. Ids 7, 8 and 17-20
// were withdrawn by NCBI long ago and are unknown here. Each table is its id,
// NCBI's name and its 64 amino-acid letters in NCBI's order: the codons'
// bases taken in the order T, C, A, G, the first base varying slowest (TTT,
// TTC, TTA, TTG, TCT, ... GGG), '*' for a stop. The letters are NCBI's
// "AAs" row (gc.prt's ncbieaa): a codon that NCBI marks as a stop in some
// contexts and as an amino acid in others (tables 27, 28 and 31) is read as
// NCBI's row gives it, without a stop. Start codons are not kept: the search
// reads every codon as its amino acid.
//
// The tables are static constant data; the references and spans handed out
// stay valid for the life of the program.
#ifndef BRISEL_TRANSLATION_GENETIC_CODES_H
#define BRISEL_TRANSLATION_GENETIC_CODES_H

#include <span>
#include <string>
#include <string_view>

namespace brisel {

struct GeneticCode {
  int id;
  std::string_view name;
  std::string_view aminoAcids;  // 64 letters, codons in T, C, A, G order
};

inline constexpr int kStandardGeneticCode = 1;
inline constexpr int kBacterialGeneticCode = 11;

// Every table, in ascending order of id.
std::span<const GeneticCode> GeneticCodes();

// The table of `id`, or nullptr when NCBI has none of that id.
const GeneticCode* FindGeneticCode(int id);

// The table of `id`; an unknown id throws std::invalid_argument with a
// one-line message that lists the valid ids, e.g. "there is no genetic code
// 7: NCBI's translation tables are 1, 2, 3, 4, 5, 6, 9, ..., 33".
const GeneticCode& GeneticCodeById(int id);

// The table named by a command-line word (--table N): one or more decimal
// digits and nothing else. Anything else, or an unknown id, throws
// std::invalid_argument with a one-line message naming the word and listing
// the valid ids.
const GeneticCode& ParseGeneticCode(std::string_view word);

// "1, 2, 3, 4, 5, 6, 9, ..., 33": the valid ids, for messages and --help.
std::string GeneticCodeIdList();

// The position of the codon of unambiguous bases (each one of kBaseA, kBaseC,
// kBaseG, kBaseT) in a table's 64 letters.
int CodonPosition(unsigned first, unsigned second, unsigned third);

}  // namespace brisel

#endif  // BRISEL_TRANSLATION_GENETIC_CODES_H
