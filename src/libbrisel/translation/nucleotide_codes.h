// SPDX-License-Identifier: MIT
// nucleotide_codes.h: IUPAC nucleotide letters as 4-bit masks of the bases
// they stand for.
//
// A is 1, C is 2, G is 4, T is 8, and U is read as T; an ambiguity letter is
// the union of its bases (R = A|G, Y = C|T, S = C|G, W = A|T, K = G|T,
// M = A|C, B = C|G|T, D = A|G|T, H = A|C|T, V = A|C|G, N = all four). Both
// cases are letters. Every other byte (digits, '-', '*', '.', white space,
// control and non-ASCII bytes) has mask 0, kNotNucleotide: the reader of a
// record refuses it, naming its position (FindNonNucleotide).
//
// The complement of a mask swaps A with T and C with G, which is the mask's
// four bits in reverse order; it maps each letter's mask to its complement
// letter's (R <-> Y, K <-> M, B <-> V, D <-> H; S, W and N are their own).
//
// Everything here is constexpr data or a pure function; nothing is owned.
#ifndef BRISEL_TRANSLATION_NUCLEOTIDE_CODES_H
#define BRISEL_TRANSLATION_NUCLEOTIDE_CODES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace brisel {

inline constexpr std::uint8_t kBaseA = 1;
inline constexpr std::uint8_t kBaseC = 2;
inline constexpr std::uint8_t kBaseG = 4;
inline constexpr std::uint8_t kBaseT = 8;
inline constexpr std::uint8_t kNotNucleotide = 0;

// The IUPAC letters, upper case, indexed by mask (index 0, no letter, is '?').
inline constexpr std::string_view kLetterOfMask = "?ACMGRSVTWYHKDBN";

// The mask of every byte, 256 entries.
struct NucleotideMaskTable {
  std::array<std::uint8_t, 256> of{};
  constexpr NucleotideMaskTable() {
    for (std::size_t mask = 1; mask < kLetterOfMask.size(); ++mask) {
      const auto upper = static_cast<unsigned char>(kLetterOfMask[mask]);
      of[upper] = static_cast<std::uint8_t>(mask);
      of[upper + ('a' - 'A')] = static_cast<std::uint8_t>(mask);
    }
    of['U'] = kBaseT;
    of['u'] = kBaseT;
  }
};
inline constexpr NucleotideMaskTable kNucleotideMasks;

constexpr std::uint8_t NucleotideMask(char byte) {
  return kNucleotideMasks.of[static_cast<unsigned char>(byte)];
}

constexpr bool IsNucleotideLetter(char byte) {
  return NucleotideMask(byte) != kNotNucleotide;
}

// The mask of the complementary bases (0 stays 0). Only the low four bits of
// `mask` are read.
constexpr std::uint8_t ComplementMask(std::uint8_t mask) {
  return static_cast<std::uint8_t>(((mask & 1) << 3) | ((mask & 2) << 1) | ((mask & 4) >> 1) |
                                   ((mask & 8) >> 3));
}

// The offset of the first byte of `bases` that is not a nucleotide letter, or
// std::string_view::npos when every byte is one. A caller that validates a
// record line by line adds the offset to the line's start to name the column.
std::size_t FindNonNucleotide(std::string_view bases);

}  // namespace brisel

#endif  // BRISEL_TRANSLATION_NUCLEOTIDE_CODES_H
