// SPDX-License-Identifier: MIT
// Micro-benchmarks of the hot loops of the searches and the scanner. They
// measure; they check nothing (the tests do).
//
//   build/bench/search_microbenchmarks [--benchmark_filter=REGEX]
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "brisel.h"
#include "matching/motif_matching.h"
#include "output/number_format.h"
#include "scanner.h"
#include "statistics/hit_statistics.h"

using namespace brisel;

namespace {

constexpr std::uint64_t kLength = 370;  // a typical protein

std::vector<std::uint32_t> RandomResidues(std::uint64_t length, unsigned seed) {
  std::mt19937 random(seed);
  std::vector<std::uint32_t> residues(length);
  for (std::uint32_t& r : residues)
    r = std::uint32_t{1} << std::uniform_int_distribution<int>(0, 19)(random);
  return residues;
}

// The expectation update of one motif, in extended precision.
void BM_ExpectationUpdate(benchmark::State& state) {
  std::vector<double> s(4096), c(4096);
  std::mt19937 random(1);
  for (std::size_t m = 0; m < s.size(); ++m) {
    s[m] = std::pow(10.0, -std::uniform_real_distribution<double>(4, 20)(random));
    c[m] = 10 * s[m];
  }
  for (auto _ : state) {
    HitStatistics statistics;
    for (std::size_t m = 0; m < s.size(); ++m) {
      benchmark::DoNotOptimize(AddExpectedRandomHits(statistics, kLength, s[m], c[m], 1e300));
    }
    benchmark::DoNotOptimize(statistics.expectation);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.size()));
}
BENCHMARK(BM_ExpectationUpdate);

// The factor of one motif in the probability of no random hit: what the lazy
// computation saves for every motif of a sequence without hits.
void BM_ProbabilityFactor(benchmark::State& state) {
  std::vector<double> s(4096);
  std::mt19937 random(2);
  for (double& v : s)
    v = std::pow(10.0, -std::uniform_real_distribution<double>(4, 20)(random));
  for (auto _ : state) {
    HitStatistics statistics;
    for (double v : s)
      MultiplyProbabilityOfNoRandomHit(statistics, v, kLength - 12 + 1);
    benchmark::DoNotOptimize(statistics.probabilityOfNoRandomHit);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(s.size()));
}
BENCHMARK(BM_ProbabilityFactor);

// Placements of a 12-position motif at every start, tested rarest position
// first (argument 1) or from the first position on (argument 0).
void BM_PlacementTests(benchmark::State& state) {
  const std::vector<std::uint32_t> residues = RandomResidues(kLength, 3);
  std::vector<std::uint32_t> motif(12, kAllLettersMask);
  motif[0] = 0x9;  // two letters
  motif[7] = 0x1;  // one letter
  const CheckOrder order = state.range(0) != 0 ? CheckOrder{7, 0} : CheckOrder{0, 1};
  for (auto _ : state) {
    int hits = 0;
    for (std::uint64_t start = 0; start + motif.size() <= kLength; ++start) {
      hits += PlacementMatches(residues.data() + start, motif.data(), 12, order);
    }
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kLength - 11));
}
BENCHMARK(BM_PlacementTests)->Arg(0)->Arg(1);

// The scan search's candidate starts: bitmaps built once per sequence, then
// listed for a one-letter and a four-letter position.
void BM_LetterBitmaps(benchmark::State& state) {
  const std::vector<std::uint32_t> residues = RandomResidues(kLength, 4);
  LetterBitmaps bitmaps;
  const std::uint32_t mask = state.range(0) == 1 ? 0x1u : 0x1111u;
  for (auto _ : state) {
    bitmaps.Build(residues.data(), kLength);
    std::uint64_t sum = 0;
    for (int motif = 0; motif < 100; ++motif) {
      bitmaps.ForEachStartMatching(mask, 3, kLength - 12,
                                   [&](std::uint64_t start) { sum += start; });
    }
    benchmark::DoNotOptimize(sum);
  }
}
BENCHMARK(BM_LetterBitmaps)->Arg(1)->Arg(4);

// The three numbers of a hit line, "E|P|s|", for values in the ranges the
// hit lines see: snprintf (argument 0) or the number formatters (argument 1).
void BM_HitLineNumbers(benchmark::State& state) {
  struct Numbers {
    double expectation, probability, specificity;
  };
  std::vector<Numbers> numbers(4096);
  std::mt19937 random(6);
  for (Numbers& n : numbers) {
    n.expectation = std::pow(10.0, std::uniform_real_distribution<double>(-30, 10)(random));
    n.probability = std::uniform_real_distribution<double>(0, 1)(random);
    n.specificity = std::pow(10.0, std::uniform_real_distribution<double>(-40, 0)(random));
  }
  const bool formatters = state.range(0) != 0;
  char line[3 * kMaxFormattedNumber];
  for (auto _ : state) {
    std::size_t bytes = 0;
    for (const Numbers& n : numbers) {
      if (formatters) {
        char* end = FormatExponent2(line, n.expectation);
        *end++ = '|';
        end = FormatFixed3(end, n.probability);
        *end++ = '|';
        end = FormatExponent3(end, n.specificity);
        *end++ = '|';
        bytes += static_cast<std::size_t>(end - line);
      } else {
        bytes += static_cast<std::size_t>(std::snprintf(
            line, sizeof line, "%.2e|%.3f|%.3e|", n.expectation, n.probability, n.specificity));
      }
      benchmark::DoNotOptimize(line);
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(numbers.size()));
}
BENCHMARK(BM_HitLineNumbers)->Arg(0)->Arg(1);

// Reading single-line FASTA through the scanner, in tokens of 64 KiB.
void BM_ScannerLines(benchmark::State& state) {
  std::string text;
  std::mt19937 random(5);
  for (int record = 0; record < 2000; ++record) {
    text += ">GEN" + std::to_string(record) + " generated\n";
    for (std::uint64_t p = 0; p < kLength; ++p)
      text += "ACDEFGHIKLMNPQRSTVWY"[random() % 20];
    text += '\n';
  }
  std::vector<char> buffer(1 << 16);
  for (auto _ : state) {
    std::FILE* fp = fmemopen(text.data(), text.size(), "r");
    ScannerPtr scanner(NewScannerFromFile(fp, "\n", 1));
    int tokens = 0;
    while (ReadNextToken(scanner.get(), buffer.data(), static_cast<int>(buffer.size())) == 1)
      ++tokens;
    benchmark::DoNotOptimize(tokens);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_ScannerLines);

}  // namespace

BENCHMARK_MAIN();
