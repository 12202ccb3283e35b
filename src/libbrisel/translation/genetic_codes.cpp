// SPDX-License-Identifier: MIT
// The tables are NCBI's "AAs" rows as the Genetic Codes page of NCBI's
// Taxonomy (chapter tgencodes, last update 23 September 2024) and its
// print-form gc.prt give them; the names are gc.prt's. Tables 27 to 30 read
// CTG as leucine: an older gc.prt (2017) had alanine there, copied from
// table 26, which NCBI has since corrected.
#include "translation/genetic_codes.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <stdexcept>

#include "translation/nucleotide_codes.h"

namespace brisel {
namespace {

constexpr std::array<GeneticCode, 27> kCodes = {{
    {1, "Standard", "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {2, "Vertebrate Mitochondrial",
     "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNKKSS**VVVVAAAADDEEGGGG"},
    {3, "Yeast Mitochondrial", "FFLLSSSSYY**CCWWTTTTPPPPHHQQRRRRIIMMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {4,
     "Mold Mitochondrial; Protozoan Mitochondrial; Coelenterate Mitochondrial; Mycoplasma; "
     "Spiroplasma",
     "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {5, "Invertebrate Mitochondrial",
     "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNKKSSSSVVVVAAAADDEEGGGG"},
    {6, "Ciliate Nuclear; Dasycladacean Nuclear; Hexamita Nuclear",
     "FFLLSSSSYYQQCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {9, "Echinoderm Mitochondrial; Flatworm Mitochondrial",
     "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNNKSSSSVVVVAAAADDEEGGGG"},
    {10, "Euplotid Nuclear", "FFLLSSSSYY**CCCWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {11, "Bacterial, Archaeal and Plant Plastid",
     "FFLLSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {12, "Alternative Yeast Nuclear",
     "FFLLSSSSYY**CC*WLLLSPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {13, "Ascidian Mitochondrial",
     "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNKKSSGGVVVVAAAADDEEGGGG"},
    {14, "Alternative Flatworm Mitochondrial",
     "FFLLSSSSYYY*CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNNKSSSSVVVVAAAADDEEGGGG"},
    {15, "Blepharisma Macronuclear",
     "FFLLSSSSYY*QCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {16, "Chlorophycean Mitochondrial",
     "FFLLSSSSYY*LCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {21, "Trematode Mitochondrial",
     "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIMMTTTTNNNKSSSSVVVVAAAADDEEGGGG"},
    {22, "Scenedesmus obliquus Mitochondrial",
     "FFLLSS*SYY*LCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {23, "Thraustochytrium Mitochondrial",
     "FF*LSSSSYY**CC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {24, "Rhabdopleuridae Mitochondrial",
     "FFLLSSSSYY**CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSSKVVVVAAAADDEEGGGG"},
    {25, "Candidate Division SR1 and Gracilibacteria",
     "FFLLSSSSYY**CCGWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {26, "Pachysolen tannophilus Nuclear",
     "FFLLSSSSYY**CC*WLLLAPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {27, "Karyorelict Nuclear", "FFLLSSSSYYQQCCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {28, "Condylostoma Nuclear",
     "FFLLSSSSYYQQCCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {29, "Mesodinium Nuclear", "FFLLSSSSYYYYCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {30, "Peritrich Nuclear", "FFLLSSSSYYEECC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {31, "Blastocrithidia Nuclear",
     "FFLLSSSSYYEECCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {32, "Balanophoraceae Plastid",
     "FFLLSSSSYY*WCC*WLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSRRVVVVAAAADDEEGGGG"},
    {33, "Cephalodiscidae Mitochondrial",
     "FFLLSSSSYYY*CCWWLLLLPPPPHHQQRRRRIIIMTTTTNNKKSSSKVVVVAAAADDEEGGGG"},
}};

static_assert(std::ranges::all_of(kCodes, [](const GeneticCode& code) {
  return code.aminoAcids.size() == 64;
}));
static_assert(std::ranges::is_sorted(kCodes, {}, &GeneticCode::id));

std::string UnknownCodeMessage(std::string_view what) {
  return std::string(what) + ": NCBI's translation tables are " + GeneticCodeIdList();
}

// T, C, A, G as 0 to 3, from a single base's mask.
constexpr int TcagRank(unsigned base) {
  return base == kBaseT ? 0 : base == kBaseC ? 1 : base == kBaseA ? 2 : 3;
}

}  // namespace

std::span<const GeneticCode> GeneticCodes() {
  return kCodes;
}

const GeneticCode* FindGeneticCode(int id) {
  const auto found = std::ranges::lower_bound(kCodes, id, {}, &GeneticCode::id);
  return found != kCodes.end() && found->id == id ? &*found : nullptr;
}

const GeneticCode& GeneticCodeById(int id) {
  const GeneticCode* code = FindGeneticCode(id);
  if (code == nullptr)
    throw std::invalid_argument(
        UnknownCodeMessage("there is no genetic code " + std::to_string(id)));
  return *code;
}

const GeneticCode& ParseGeneticCode(std::string_view word) {
  int id = 0;
  const char* end = word.data() + word.size();
  const bool digits =
      !word.empty() && std::ranges::all_of(word, [](char c) { return c >= '0' && c <= '9'; });
  const auto [stop, error] = std::from_chars(word.data(), end, id);
  const GeneticCode* code =
      digits && error == std::errc() && stop == end ? FindGeneticCode(id) : nullptr;
  if (code == nullptr)
    throw std::invalid_argument(
        UnknownCodeMessage("'" + std::string(word) + "' is not a genetic code"));
  return *code;
}

std::string GeneticCodeIdList() {
  std::string list;
  for (const GeneticCode& code : kCodes) {
    if (!list.empty()) list += ", ";
    list += std::to_string(code.id);
  }
  return list;
}

int CodonPosition(unsigned first, unsigned second, unsigned third) {
  return 16 * TcagRank(first) + 4 * TcagRank(second) + TcagRank(third);
}

}  // namespace brisel
