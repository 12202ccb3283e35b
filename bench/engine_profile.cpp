// SPDX-License-Identifier: MIT
// engine_profile: runs the multi-motif engine of the indexed search over a
// sequence database and prints what each stage passed, where the time went (in
// CPU seconds of its one thread) and how the motifs were routed. It measures;
// it checks nothing.
//
//   build/bench/engine_profile MOTIF_ROOT SEQUENCE_ROOT [EXPONENT [--index-only | scalar | sse2]]
//
// The roots are local root paths (as brisel-search -l takes them); EXPONENT is
// the -e cut-off exponent (default -2). The hit report is formed and dropped.
// With --index-only the index is built and described, and nothing searched;
// scalar or sse2 runs the per-residue kernels of that level (pass_kernels.h)
// instead of the best this processor runs.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/databases.h"
#include "base/error.h"
#include "engine/search_engine.h"
#include "output/hit_lines.h"

using namespace brisel;

namespace {

ListedSequence ListedOf(const SequenceViews& sequences, std::uint32_t n) {
  const std::uint32_t begin = sequences.sequenceIndices[n];
  return {sequences.sequenceIndices[n + 1] - begin, sequences.bitSequences + begin,
          sequences.offsetIndices + std::uint64_t{kLetterCount} * n, sequences.offsets};
}

// CPU time of this thread, so that other work on a shared machine does not
// count.
double ThreadSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}
double SecondsSince(double start) {
  return ThreadSeconds() - start;
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: engine_profile MOTIF_ROOT SEQUENCE_ROOT [EXPONENT]\n");
    return 2;
  }
  const double cutoff = std::pow(10.0, argc > 3 ? std::atof(argv[3]) : -2.0);
  std::optional<MotifDatabase> motifDatabase;
  std::optional<SequenceDatabase> sequenceDatabase;
  try {
    motifDatabase = MotifDatabase::Open(argv[1]);
    sequenceDatabase = SequenceDatabase::Open(argv[2]);
  } catch (const Error& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  const MotifViews& motifs = motifDatabase->blocks();
  const SequenceViews& sequences = sequenceDatabase->blocks();
  const std::uint32_t numSequences = sequenceDatabase->size();

  const std::string option = argc > 4 ? argv[4] : "";
  const KernelLevel level = option == "scalar" ? KernelLevel::kScalar
                            : option == "sse2" ? KernelLevel::kSse2
                                               : BestKernelLevel();
  const std::unique_ptr<HitLineFormatter> rows = MakePipeRows(motifs);
  double start = ThreadSeconds();
  SearchEngine engine(motifs, cutoff, SearchKind::kIndexed, *rows, level);
  const double buildSeconds = SecondsSince(start);
  const MotifIndex& index = engine.index();
  std::uint64_t routes[4] = {0, 0, 0, 0};
  std::vector<std::uint64_t> byTable(index.tableCount(), 0);
  for (std::uint32_t m = 0; m < index.motifCount(); ++m) {
    ++routes[static_cast<int>(index.motif(m).route)];
    if (index.motif(m).route == MotifRoute::kIndexed) ++byTable[index.motif(m).table];
  }

  std::printf("motifs %u: indexed %lu, residual %lu, never %lu, anchored %lu\n", index.motifCount(),
              routes[0], routes[1], routes[2], routes[3]);
  std::printf("index: built in %.3f s, %.1f MiB; kernels of level %d\n", buildSeconds,
              static_cast<double>(index.MemoryBytes()) / (1 << 20), static_cast<int>(level));
  for (const std::uint32_t m : index.residualMotifs()) {
    const std::string_view record = MotifRecord(motifs, m);
    std::printf("residual motif %u: %.*s\n", m, static_cast<int>(record.size()), record.data());
  }
  for (std::uint32_t t = 0; t < index.tableCount(); ++t) {
    const WindowShape& shape = index.Shape(t);
    std::string offsets;
    for (std::uint32_t i = 0; i < shape.size; ++i)
      offsets += (i == 0 ? "" : ",") + std::to_string(shape.offsets[i]);
    std::uint64_t used = 0, entries = 0, largest = 0, runs = 0;
    const IndexRun* tableRuns = index.Runs(t);  // the entries count runs' motifs after the first
    for (std::uint32_t b = 0; b < index.BucketCount(t); ++b) {
      const std::uint32_t first = index.BucketRuns(t)[b], last = index.BucketRuns(t)[b + 1];
      const std::uint64_t size = tableRuns[last].entries - tableRuns[first].entries + last - first;
      ++used;
      entries += size;
      runs += last - first;
      largest = size > largest ? size : largest;
    }
    std::printf(
        "table %u, shape (%s): %lu motifs, %lu of %u buckets used, %lu entries in %lu runs, "
        "largest bucket %lu\n",
        t, offsets.c_str(), byTable[t], used, kWindowCodes[shape.size], entries, runs, largest);
  }
  std::fflush(stdout);
  if (option == "--index-only") return 0;

  start = ThreadSeconds();
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
  std::printf(
      "stages: windows %lu -> runs %lu -> tested %lu -> checked %lu -> fitting %lu -> hits %lu\n",
      c.windows, c.runs, c.tested, c.checked, c.fitting, c.hits);
  for (std::uint32_t t = 0; t < index.tableCount(); ++t) {
    std::printf("table %u: windows %lu, runs %lu\n", t, c.tableWindows[t], c.tableRuns[t]);
  }
  std::printf("residual walks %lu, their hits %lu\n", c.residualWalks, c.residualHits);
  std::printf("anchored checks %lu, their hits %lu\n", c.anchoredChecks, c.anchoredHits);

  // The stages on their own: the residues prepared (masks to codes, the lists
  // checked), then prepared and passed (windows gathered, candidates
  // verified), every motif below the cut-off of its length as in the search.
  ResidueCodes codes;
  std::uint64_t served = 0;
  start = ThreadSeconds();
  for (std::uint32_t n = 0; n < numSequences; ++n)
    served += codes.FromListedSequence(ListedOf(sequences, n), engine.kernels().residues);
  const double prepareSeconds = SecondsSince(start);
  WindowBuffer windows;
  std::uint64_t gathered = 0;
  start = ThreadSeconds();
  for (std::uint32_t n = 0; n < numSequences; ++n) {
    const ListedSequence listed = ListedOf(sequences, n);
    if (!codes.FromListedSequence(listed, engine.kernels().residues)) continue;
    const PassInput input{
        engine.kernels().gather, codes.codes(), codes.classes(), listed.length, 0, true};
    WindowRef* refs = windows.Reserve(listed.length);
    for (std::uint32_t t = 0; t < index.tableCount(); ++t)
      gathered += GatherWindows(index, input, t, 0, listed.length, refs);
  }
  const double gatherSeconds = SecondsSince(start);
  std::vector<EngineHit> hits;
  EngineCounters passCounters;
  start = ThreadSeconds();
  for (std::uint32_t n = 0; n < numSequences; ++n) {
    const ListedSequence listed = ListedOf(sequences, n);
    if (!codes.FromListedSequence(listed, engine.kernels().residues)) continue;
    const std::uint32_t stop = engine.memo().ForLength(listed.length)->stop();
    hits.clear();
    FindIndexedHits(
        index, {engine.kernels().gather, codes.codes(), codes.classes(), listed.length, stop, true},
        windows, hits, passCounters);
  }
  const double passSeconds = SecondsSince(start);
  std::printf(
      "stages alone: prepare %.3f s (%lu sequences served), prepare and gather %.3f s (%lu "
      "windows), prepare and pass %.3f s\n",
      prepareSeconds, served, gatherSeconds, gathered, passSeconds);
  return 0;
}
