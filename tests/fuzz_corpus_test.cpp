// SPDX-License-Identifier: MIT
// Replays the committed fuzz corpus and every input that once broke a fuzz
// target (fuzz/regressions/) through the fuzz bodies, so that each of them is
// checked by every test run, under every build.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz_bodies.h"

using namespace brisel;

namespace {

using Body = int (*)(const std::uint8_t*, std::size_t);

struct Target {
  const char* name;
  Body body;
};

std::size_t Replay(const Target& target) {
  std::size_t inputs = 0;
  for (const char* kind : {"corpus", "regressions"}) {
    const std::filesystem::path directory =
        std::filesystem::path(BRISEL_FUZZ_DIR) / kind / target.name;
    if (!std::filesystem::exists(directory)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
      SCOPED_TRACE(entry.path().string());
      EXPECT_EQ(target.body(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
      ++inputs;
    }
  }
  return inputs;
}

class FuzzCorpus : public ::testing::TestWithParam<Target> {};

TEST_P(FuzzCorpus, EveryInputEndsCleanly) {
  EXPECT_GT(Replay(GetParam()), 0u);
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzCorpus,
                         ::testing::Values(Target{"scanner", FuzzScanner},
                                           Target{"stats_file", FuzzStatsFile},
                                           Target{"fasta_reader", FuzzFastaReader},
                                           Target{"pattern_parser", FuzzPatternParser},
                                           Target{"databases", FuzzDatabases},
                                           Target{"compressed_input", FuzzCompressedInput},
                                           Target{"direct_search", FuzzDirectSearch}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
