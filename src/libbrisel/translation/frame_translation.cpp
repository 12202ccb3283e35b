// SPDX-License-Identifier: MIT
#include "translation/frame_translation.h"

#include <array>
#include <stdexcept>

#include "translation/nucleotide_codes.h"

namespace brisel {
namespace {

// A byte's mask moved to its place in a codon index: three tables, so that a
// codon's index is three loads and two ORs.
struct ShiftedMasks {
  std::array<std::uint16_t, 256> first{}, second{}, third{};
  constexpr ShiftedMasks() {
    for (int byte = 0; byte < 256; ++byte) {
      const std::uint16_t mask = kNucleotideMasks.of[static_cast<std::size_t>(byte)];
      first[static_cast<std::size_t>(byte)] = static_cast<std::uint16_t>(mask << 8);
      second[static_cast<std::size_t>(byte)] = static_cast<std::uint16_t>(mask << 4);
      third[static_cast<std::size_t>(byte)] = mask;
    }
  }
};
constexpr ShiftedMasks kShifted;

inline std::size_t IndexAt(const unsigned char* bases) {
  return kShifted.first[bases[0]] | kShifted.second[bases[1]] | kShifted.third[bases[2]];
}

}  // namespace

void TranslateCodons(const CodonTable& table, std::string_view record, ReadingFrame frame,
                     std::uint64_t firstCodon, std::span<char> out) {
  const std::uint64_t codons = CodonCount(record.size(), frame);
  if (firstCodon > codons || out.size() > codons - firstCodon)
    throw std::out_of_range("codons " + std::to_string(firstCodon) + " to " +
                            std::to_string(firstCodon + out.size()) + " of frame " + frame.name() +
                            " past its " + std::to_string(codons) + " codons");
  const auto* bases = reinterpret_cast<const unsigned char*>(record.data());
  char* letters = out.data();
  const std::size_t count = out.size();
  if (!frame.reverse()) {
    const char* forward = table.forwardData();
    std::uint64_t at = frame.offset() + 3 * firstCodon;
    for (std::size_t i = 0; i < count; ++i, at += 3)
      letters[i] = forward[IndexAt(bases + at)];
  } else {
    // Codon j of frame -k starts at forward base n - k - 2 - 3j.
    // (The last step may wrap `at` below 0; it is not read then.)
    const char* reverse = table.reverseData();
    std::uint64_t at = record.size() - frame.offset() - 3 - 3 * firstCodon;
    for (std::size_t i = 0; i < count; ++i, at -= 3)
      letters[i] = reverse[IndexAt(bases + at)];
  }
}

std::string TranslateFrame(const CodonTable& table, std::string_view record, ReadingFrame frame) {
  std::string letters(CodonCount(record.size(), frame), '\0');
  TranslateCodons(table, record, frame, 0, letters);
  return letters;
}

}  // namespace brisel
