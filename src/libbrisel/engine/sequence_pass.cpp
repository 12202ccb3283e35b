// SPDX-License-Identifier: MIT
// sequence_pass.cpp: the windows of a sequence and the verification of their
// candidates.
#include "engine/sequence_pass.h"

namespace brisel {

namespace {

// The random reads of the pass, the buckets' first runs, are prefetched this
// many windows ahead.
constexpr std::size_t kPrefetchDistance = 32;

// A prefetch the optimiser keeps: GCC drops a loop whose body is nothing but
// __builtin_prefetch, since the loop has no effect it must preserve.
inline void Prefetch(const void* address) {
#if defined(__x86_64__)
  asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(address)));
#else
  __builtin_prefetch(address);
#endif
}

static_assert(kWindowCodes[kMaxWindow] <= (1u << 20));

// Residues are taken this many at a time, so that the windows of a sequence
// of any length take bounded memory.
constexpr std::uint64_t kSegmentResidues = 8192;
// Runs that passed their first check are verified once about this many are
// noted.
constexpr std::uint64_t kPassedRuns = 4096;

// A candidate that passed both checks: the placement must fit the sequence,
// and every position must match.
template <bool kHoming>
inline void VerifyCandidate(const MotifIndex& index, const PassInput& input, std::uint32_t m,
                            std::uint64_t windowStart, std::vector<EngineHit>& hits,
                            EngineCounters& counters) {
  const IndexedMotif& motif = index.motif(m);
  const std::uint32_t width = motif.view.width;
  if (windowStart < motif.windowOffset) return;
  const std::uint64_t start = windowStart - motif.windowOffset;
  if (start + width > input.length) return;
  ++counters.fitting;
  const std::uint8_t* codes = input.codes + start;
  const std::uint32_t* masks = motif.filterMasks;
  for (std::uint32_t j = 0; j < width; ++j) {
    if (((masks[j] >> codes[j]) & 1) == 0) return;
  }
  ++counters.hits;
  hits.push_back({m, kHoming ? codes[motif.view.homingOffset] : 0u, start});
}

// The motifs of a run whose first check passed: those below the cut-off whose
// second check passes are candidates. The run holds its first motif.
template <bool kHoming>
void VerifyRun(const MotifIndex& index, const PassInput& input, RunTest test, const IndexRun& run,
               const IndexEntry* entry, const IndexEntry* end, std::uint64_t windowStart,
               std::vector<EngineHit>& hits, EngineCounters& counters) {
  const std::uint8_t* at = input.codes + windowStart;
  ++counters.tested;
  if (((run.motifMask >> at[run.motifOffset]) & 1) != 0) {
    ++counters.checked;
    VerifyCandidate<kHoming>(index, input, MotifOf(test), windowStart, hits, counters);
  }
  for (; entry < end && entry->motif < input.stop; ++entry) {
    ++counters.tested;
    if (((entry->checkMask >> at[entry->checkOffset]) & 1) == 0) continue;
    ++counters.checked;
    VerifyCandidate<kHoming>(index, input, entry->motif, windowStart, hits, counters);
  }
}

// A run whose first check passed at a window: the window's first residue,
// counted from the start of the segment (bits 32 and up), and the run (bits 0
// to 31).
using PassedRun = std::uint64_t;

// Verifies the candidates of the windows of table t, in the order given, in
// two loops: the first checks every run of each window's bucket, branch-free
// but for the loop itself, and notes the runs that pass (below the cut-off);
// the second verifies the motifs of those runs, rarely many. The buckets'
// first runs are prefetched some windows ahead (the buckets' places in the
// runs stay in the cache).
template <bool kHoming>
void VerifyWindows(const MotifIndex& index, const PassInput& input, std::uint32_t t,
                   std::uint64_t segment, const WindowRef* windows, std::size_t count,
                   PassedRun* passed, std::vector<EngineHit>& hits, EngineCounters& counters) {
  const std::uint32_t* const bucketRuns = index.BucketRuns(t);
  const RunTest* const tests = index.RunTests(t);
  const IndexRun* const runs = index.Runs(t);
  const IndexEntry* const entries = index.Entries(t);
  const std::uint32_t stop = input.stop;
  const std::uint8_t* const classes = input.classes + segment;
  std::uint64_t visited = 0;
  const std::uint32_t largest = index.LargestBucketRuns();
  std::size_t noted = 0;
  const auto verifyNoted = [&] {
    for (std::size_t n = 0; n < noted; ++n) {
      const auto r = static_cast<std::uint32_t>(passed[n]);
      VerifyRun<kHoming>(index, input, tests[r], runs[r], entries + runs[r].entries,
                         entries + runs[r + 1].entries, segment + (passed[n] >> 32), hits,
                         counters);
    }
    noted = 0;
  };
  for (std::size_t i = 0; i < count; ++i) {
    if (i + kPrefetchDistance < count) {
      Prefetch(tests + bucketRuns[BucketOf(windows[i + kPrefetchDistance])]);
    }
    if (noted + largest > kPassedRuns) verifyNoted();
    const WindowRef window = windows[i];
    const std::uint32_t bucket = BucketOf(window);
    const std::uint64_t windowStart = StartOf(window);
    const std::uint8_t* at = classes + windowStart;
    const std::uint32_t first = bucketRuns[bucket], end = bucketRuns[bucket + 1];
    visited += end - first;
    for (std::uint32_t r = first; r < end; ++r) {
      const RunTest test = tests[r];
      const std::uint32_t passes = (ClassesOf(test) >> at[OffsetOf(test)]) & 1;
      const std::uint32_t below = MotifOf(test) < stop ? 1u : 0u;
      passed[noted] = windowStart << 32 | r;
      noted += passes & below;
    }
  }
  verifyNoted();
  counters.windows += count;
  counters.runs += visited;
  counters.tableWindows[t] += count;
  counters.tableRuns[t] += visited;
}

template <bool kHoming>
void Pass(const MotifIndex& index, const PassInput& input, WindowBuffer& buffer,
          std::vector<EngineHit>& hits, EngineCounters& counters) {
  const std::uint32_t tables = index.tableCount();
  if (tables == 0) return;
  WindowRef* windows = buffer.Reserve(kSegmentResidues);
  PassedRun* passed = buffer.ReservePassed(kPassedRuns + index.LargestBucketRuns() + 1);
  for (std::uint64_t from = 0; from < input.length; from += kSegmentResidues) {
    const std::uint64_t to =
        input.length - from < kSegmentResidues ? input.length : from + kSegmentResidues;
    for (std::uint32_t t = 0; t < tables; ++t) {
      const std::size_t count = GatherWindows(index, input, t, from, to, windows);
      VerifyWindows<kHoming>(index, input, t, from, windows, count, passed, hits, counters);
    }
  }
}

}  // namespace

std::size_t GatherWindows(const MotifIndex& index, const PassInput& input, std::uint32_t t,
                          std::uint64_t from, std::uint64_t to, WindowRef* windows) {
  return input.gather(input.classes + from, 0, to - from, index.Lookup(t), windows);
}

void FindIndexedHits(const MotifIndex& index, const PassInput& input, WindowBuffer& windows,
                     std::vector<EngineHit>& hits, EngineCounters& counters) {
  counters.residues += input.length;
  if (input.homing) {
    Pass<true>(index, input, windows, hits, counters);
  } else {
    Pass<false>(index, input, windows, hits, counters);
  }
}

}  // namespace brisel
