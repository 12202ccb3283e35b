// SPDX-License-Identifier: MIT
// motif_db.h: small motif databases for the tests.
#ifndef BRISEL_TESTS_MOTIF_DB_H
#define BRISEL_TESTS_MOTIF_DB_H

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

struct TestMotif {
  std::vector<std::uint32_t> positions;  // one letter mask per position
  double specificity = 0.001;
  double lengthCorrection = 0.0;
  double logSpecificity = -3.0;
  std::uint32_t homingMask = 0;
  std::uint32_t homingPosition = 0;
  std::string record;
  std::uint8_t anchor = 0;  // a MotifAnchor; more may be written, for the check
};

// The mask of a set of letters, e.g. Letters("LI").
std::uint32_t Letters(std::string_view letters);

// A motif from one letter set per position, homed on its first position.
TestMotif MakeMotif(std::initializer_list<std::string_view> positions, double specificity,
                    double lengthCorrection, std::string record);

// Writes the stats file and the nine blocks of a motif database at `root`, and
// the anchors block when some motif is anchored (else removes any left there).
void WriteMotifDatabase(const std::string& root, const std::vector<TestMotif>& motifs);

// Writes a stats file with the given text.
void WriteStatsFile(const std::string& root, std::string_view text);

}  // namespace brisel

#endif  // BRISEL_TESTS_MOTIF_DB_H
