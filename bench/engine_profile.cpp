// SPDX-License-Identifier: MIT
// engine_profile: runs the multi-motif engine of the indexed search over a
// sequence database and prints what each stage passed, where the time went and
// how the motifs were routed. It measures; it checks nothing.
//
//   build/bench/engine_profile MOTIF_ROOT SEQUENCE_ROOT [EXPONENT [--index-only]]
//
// The roots are local root paths (as brisel-search -l takes them); EXPONENT is
// the -e cut-off exponent (default -2). The hit report is formed and dropped.
// With --index-only the index is built and described, and nothing searched.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "database/database_check.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "engine/search_engine.h"
#include "output/hit_lines.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: engine_profile MOTIF_ROOT SEQUENCE_ROOT [EXPONENT]\n");
    return 2;
  }
  const double cutoff = std::pow(10.0, argc > 3 ? std::atof(argv[3]) : -2.0);
  motifMappedMemoryCDT motifs{};
  MapMotifBlocksToMemory(1, &motifs, argv[1]);
  sequenceMappedMemoryCDT sequences{};
  MapSequenceBlocksToMemory(1, &sequences, argv[2]);
  if (auto fault = CheckMotifDatabase(motifs, argv[1])) {
    std::fprintf(stderr, "%s\n", fault->c_str());
    return 1;
  }
  if (auto fault = CheckSequenceDatabase(sequences, argv[2])) {
    std::fprintf(stderr, "%s\n", fault->c_str());
    return 1;
  }

  const std::unique_ptr<HitLineFormatter> rows = MakePipeRows(motifs);
  auto start = std::chrono::steady_clock::now();
  SearchEngine engine(motifs, cutoff, SearchKind::kIndexed, *rows);
  const double buildSeconds = SecondsSince(start);
  const MotifIndex& index = engine.index();
  std::uint64_t routes[3] = {0, 0, 0};
  std::uint64_t byWindow[kMaxWindow + 1] = {};
  for (std::uint32_t m = 0; m < index.motifCount(); ++m) {
    ++routes[static_cast<int>(index.motif(m).route)];
    if (index.motif(m).route == MotifRoute::kIndexed) ++byWindow[index.motif(m).windowLength];
  }

  std::printf(
      "motifs %u: indexed %lu (windows of 1/2/3/4: %lu/%lu/%lu/%lu), residual %lu, "
      "never %lu\n",
      index.motifCount(), routes[0], byWindow[1], byWindow[2], byWindow[3], byWindow[4], routes[1],
      routes[2]);
  std::printf("index: built in %.3f s, %.1f MiB\n", buildSeconds,
              static_cast<double>(index.MemoryBytes()) / (1 << 20));
  for (const std::uint32_t m : index.residualMotifs()) {
    const std::string_view record = MotifRecord(motifs, m);
    std::printf("residual motif %u: %.*s\n", m, static_cast<int>(record.size()), record.data());
  }
  for (std::uint32_t q = 1; q <= kMaxWindow; ++q) {
    if (!index.HasTable(q)) continue;
    std::uint64_t used = 0, entries = 0, largest = 0;
    for (std::uint32_t code = 0; code < kQGramCodes[q]; ++code) {
      const std::uint64_t size = index.Bucket(q, code).size();
      used += size != 0;
      entries += size;
      largest = size > largest ? size : largest;
    }
    std::printf("table %u: %lu of %u buckets used, %lu entries, largest bucket %lu\n", q, used,
                kQGramCodes[q], entries, largest);
  }
  std::fflush(stdout);
  if (argc > 4 && std::string(argv[4]) == "--index-only") return 0;

  start = std::chrono::steady_clock::now();
  SearchEngine::Worker worker(engine);
  std::string out;
  std::uint64_t bytes = 0;
  for (std::uint32_t n = 0; n < numSequences; ++n) {
    worker.SearchDatabaseSequence(sequences, n, out);
    if (out.size() > (1u << 20)) {
      bytes += out.size();
      out.clear();
    }
  }
  bytes += out.size();
  const double searchSeconds = SecondsSince(start);

  const EngineCounters& c = worker.counters();
  std::printf("search: %.3f s, %lu report bytes, %lu lengths memoised\n", searchSeconds, bytes,
              engine.memo().lengthsComputed());
  std::printf("sequences %lu (motif by motif: %lu), residues %lu\n", c.sequences,
              c.fallbackSequences, c.residues);
  std::printf("stages: windows %lu -> entries %lu -> fitting %lu -> checked %lu -> hits %lu\n",
              c.windows, c.entries, c.fitting, c.checked, c.hits);
  std::printf("residual walks %lu, their hits %lu\n", c.residualWalks, c.residualHits);
  std::printf("anchored checks %lu, their hits %lu\n", c.anchoredChecks, c.anchoredHits);
  UnmapSequenceBlocksFromMemory(&sequences);
  UnmapMotifBlocksFromMemory(&motifs);
  return 0;
}
