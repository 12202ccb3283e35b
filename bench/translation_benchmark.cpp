// SPDX-License-Identifier: MIT
// The translation core over a random 100-million-base record: the six frames
// whole (each into a buffer of its own, 200 MB of letters), the six frames a
// piece of 65,536 codons at a time into one buffer that stays in the cache
// (as a search that holds pieces would), and the check of the record's bytes.
// Each reports its time per run over the 100 Mb and the bases per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "translation/codon_table.h"
#include "translation/frame_translation.h"
#include "translation/nucleotide_codes.h"

namespace {

constexpr std::size_t kBases = 100'000'000;

const std::string& Genome() {
  static const std::string genome = [] {
    std::mt19937_64 random(11);
    std::string bases(kBases, 'A');
    for (std::size_t at = 0; at < kBases; at += 32) {
      std::uint64_t bits = random();
      for (std::size_t k = at; k < at + 32 && k < kBases; ++k, bits >>= 2)
        bases[k] = "ACGT"[bits & 3];
    }
    return bases;
  }();
  return genome;
}

void SixFramesWhole(benchmark::State& state) {
  const std::string& genome = Genome();
  const brisel::CodonTable table(brisel::GeneticCodeById(11));
  std::vector<std::string> frames(6);
  for (int index = 0; index < 6; ++index)
    frames[index].resize(brisel::CodonCount(genome.size(), brisel::ReadingFrame::FromIndex(index)));
  for (auto _ : state) {
    for (int index = 0; index < 6; ++index)
      brisel::TranslateCodons(table, genome, brisel::ReadingFrame::FromIndex(index), 0,
                              frames[index]);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * genome.size()));
}
BENCHMARK(SixFramesWhole)->Unit(benchmark::kMillisecond)->Iterations(3);

void SixFramesInPieces(benchmark::State& state) {
  const std::string& genome = Genome();
  const brisel::CodonTable table(brisel::GeneticCodeById(11));
  std::string piece(65'536, '\0');
  for (auto _ : state) {
    for (int index = 0; index < 6; ++index) {
      const brisel::ReadingFrame frame = brisel::ReadingFrame::FromIndex(index);
      const std::uint64_t codons = brisel::CodonCount(genome.size(), frame);
      for (std::uint64_t first = 0; first < codons; first += piece.size()) {
        const std::size_t count = std::min<std::uint64_t>(piece.size(), codons - first);
        brisel::TranslateCodons(table, genome, frame, first, {piece.data(), count});
        benchmark::DoNotOptimize(piece.data());
      }
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * genome.size()));
}
BENCHMARK(SixFramesInPieces)->Unit(benchmark::kMillisecond)->Iterations(3);

void CheckLetters(benchmark::State& state) {
  const std::string& genome = Genome();
  for (auto _ : state)
    benchmark::DoNotOptimize(brisel::FindNonNucleotide(genome));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * genome.size()));
}
BENCHMARK(CheckLetters)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
