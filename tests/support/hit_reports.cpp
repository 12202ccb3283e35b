// SPDX-License-Identifier: MIT
// hit_reports.cpp: splits and compares search reports.
#include "hit_reports.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace brisel {

namespace {

// The record field (the fourth) of each hit, with repeats collapsed: the order
// in which motifs reported hits.
std::vector<std::string> MotifOrder(const std::vector<std::string>& hits) {
  std::vector<std::string> order;
  for (const std::string& hit : hits) {
    std::size_t field = 0;
    for (int bars = 0; bars < 3; ++bars)
      field = hit.find('|', field) + 1;
    const std::string record = hit.substr(field, hit.find('|', field) - field);
    if (order.empty() || order.back() != record) order.push_back(record);
  }
  return order;
}

}  // namespace

std::vector<SequenceReport> SplitBySequence(const std::string& out) {
  std::vector<SequenceReport> reports;
  std::size_t begin = 0;
  while (begin < out.size()) {
    const std::size_t end = out.find('\n', begin);
    const std::string line = out.substr(begin, end - begin);
    begin = end + 1;
    if (line.starts_with(">")) {
      reports.push_back({line, {}});
    } else {
      EXPECT_FALSE(reports.empty()) << "a hit line before any header";
      if (!reports.empty()) reports.back().hits.push_back(line);
    }
  }
  return reports;
}

std::size_t ExpectSameHitsUpToOrderWithinAMotif(const std::string& indexedOut,
                                                const std::string& scanOut) {
  const auto indexed = SplitBySequence(indexedOut);
  const auto scan = SplitBySequence(scanOut);
  EXPECT_EQ(indexed.size(), scan.size());
  for (std::size_t s = 0; s < std::min(indexed.size(), scan.size()); ++s) {
    EXPECT_EQ(indexed[s].header, scan[s].header);
    EXPECT_EQ(MotifOrder(indexed[s].hits), MotifOrder(scan[s].hits)) << indexed[s].header;
    auto indexedHits = indexed[s].hits;
    auto scanHits = scan[s].hits;
    std::sort(indexedHits.begin(), indexedHits.end());
    std::sort(scanHits.begin(), scanHits.end());
    EXPECT_EQ(indexedHits, scanHits) << indexed[s].header;
  }
  return indexed.size();
}

}  // namespace brisel
