// SPDX-License-Identifier: MIT
// hit_reports.h: compares the reports of two searches sequence by sequence.
#ifndef BRISEL_TESTS_HIT_REPORTS_H
#define BRISEL_TESTS_HIT_REPORTS_H

#include <string>
#include <vector>

namespace brisel {

struct SequenceReport {
  std::string header;
  std::vector<std::string> hits;
};

// Splits standard output at its header lines.
std::vector<SequenceReport> SplitBySequence(const std::string& out);

// Expects the same sequences with the same hit lines, in the same motif order;
// the order of one motif's hits may differ. Returns the number of sequences.
std::size_t ExpectSameHitsUpToOrderWithinAMotif(const std::string& indexedOut,
                                                const std::string& scanOut);

}  // namespace brisel

#endif  // BRISEL_TESTS_HIT_REPORTS_H
