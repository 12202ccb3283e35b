// SPDX-License-Identifier: MIT
// write_test_databases: writes the motif and sequence databases that standard
// input describes, with the tests' own block writers (motif_db.h,
// sequence_db.h), for the Python tests' random databases:
//
//   write_test_databases MOTIF_ROOT SEQUENCE_ROOT < description
//
// One line per motif or sequence, fields separated by spaces, texts in hex
// (an empty text is "-"), numbers as C's strtod and strtoul read them (the
// tests give doubles in hex, bit for bit):
//   motif ANCHOR HOMING_MASK HOMING_POSITION SPECIFICITY LENGTH_CORRECTION
//         LOG_SPECIFICITY RECORD MASK...
//   sequence NAME TEXT
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "support/motif_db.h"
#include "support/sequence_db.h"

using namespace brisel;

namespace {

std::string FromHex(const std::string& hex) {
  std::string text;
  if (hex == "-") return text;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    text += static_cast<char>(std::stoul(hex.substr(i, 2), nullptr, 16));
  return text;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: write_test_databases MOTIF_ROOT SEQUENCE_ROOT < description\n");
    return 2;
  }
  std::vector<TestMotif> motifs;
  std::vector<TestSequence> sequences;
  std::string line;
  while (std::getline(std::cin, line)) {
    std::istringstream fields(line);
    std::string kind;
    fields >> kind;
    if (kind == "motif") {
      TestMotif motif;
      unsigned anchor = 0;
      std::string specificity, correction, logSpecificity, record;
      fields >> anchor >> motif.homingMask >> motif.homingPosition >> specificity >> correction >>
          logSpecificity >> record;
      motif.anchor = static_cast<std::uint8_t>(anchor);
      motif.specificity = std::strtod(specificity.c_str(), nullptr);
      motif.lengthCorrection = std::strtod(correction.c_str(), nullptr);
      motif.logSpecificity = std::strtod(logSpecificity.c_str(), nullptr);
      motif.record = FromHex(record);
      std::uint32_t mask;
      while (fields >> mask)
        motif.positions.push_back(mask);
      motifs.push_back(std::move(motif));
    } else if (kind == "sequence") {
      std::string name, text;
      fields >> name >> text;
      sequences.push_back({FromHex(name), FromHex(text)});
    } else if (!kind.empty()) {
      std::fprintf(stderr, "write_test_databases: unknown line kind '%s'\n", kind.c_str());
      return 2;
    }
  }
  WriteMotifDatabase(argv[1], motifs);
  WriteSequenceDatabase(argv[2], sequences);
  return 0;
}
