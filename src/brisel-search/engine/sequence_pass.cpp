// sequence_pass.cpp: the q-gram pass and the verification of its candidates.
#include "engine/sequence_pass.h"

#include <bit>

namespace {

// Verifies the motifs of one bucket at the window that starts at `windowStart`.
// The residues are single letters, so the filter masks (homing letters folded
// in) decide the indexed search's condition too.
template <bool kHoming>
void VerifyBucket(const MotifIndex& index, const PassInput& input, std::uint32_t q,
                  std::uint32_t code, std::uint64_t windowStart, std::vector<EngineHit>& hits,
                  EngineCounters& counters) {
  for (const IndexEntry& entry : index.Bucket(q, code)) {
    if (entry.motif >= input.stop) break;
    ++counters.entries;
    if (windowStart < entry.windowOffset) continue;
    const std::uint64_t start = windowStart - entry.windowOffset;
    if (start + entry.width > input.length) continue;
    ++counters.fitting;
    const std::uint32_t* residues = input.residues + start;
    if ((residues[entry.checkOffsets[0]] & entry.checkMasks[0]) == 0) continue;
    if ((residues[entry.checkOffsets[1]] & entry.checkMasks[1]) == 0) continue;
    ++counters.checked;
    const IndexedMotif& motif = index.motif(entry.motif);
    const std::uint32_t* masks = motif.filterMasks;
    std::uint32_t j = 0;
    while (j < entry.width && (residues[j] & masks[j]) != 0)
      ++j;
    if (j < entry.width) continue;
    ++counters.hits;
    const std::uint32_t letter =
        kHoming ? static_cast<std::uint32_t>(std::countr_zero(residues[motif.view.homingOffset]))
                : 0;
    hits.push_back({entry.motif, letter, start});
  }
}

// The random reads of the pass, a bucket's start and then its first entry, are
// prefetched this many residues ahead (the entry half as many).
constexpr std::uint64_t kPrefetchDistance = 16;

// A prefetch the optimiser keeps: GCC drops a loop whose body is nothing but
// __builtin_prefetch, since the loop has no effect it must preserve.
inline void Prefetch(const void* address) {
#if defined(__x86_64__)
  asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(address)));
#else
  __builtin_prefetch(address);
#endif
}

template <bool kHoming>
void Pass(const MotifIndex& index, const PassInput& input, std::vector<EngineHit>& hits,
          EngineCounters& counters) {
  std::uint32_t tables[kMaxWindow];
  std::uint32_t tableCount = 0;
  for (std::uint32_t q = 1; q <= kMaxWindow; ++q) {
    if (index.HasTable(q) && q <= input.length) tables[tableCount++] = q;
  }
  if (tableCount == 0) return;

  const std::uint32_t* const keys = input.keys;
  const std::uint64_t length = input.length;
  const auto forEachWindow = [&](std::uint64_t end, auto visit) {
    const std::uint32_t packed = keys[end];
    const std::uint32_t run = packed >> kRunShift;
    const std::uint32_t key = packed & kKeyMask;
    for (std::uint32_t t = 0; t < tableCount && tables[t] <= run; ++t) {
      const std::uint32_t code = key % kQGramCodes[tables[t]];
      if (index.Used(tables[t], code)) visit(tables[t], code);
    }
  };
  for (std::uint64_t end = 0; end < length; ++end) {
    if (end + kPrefetchDistance < length) {
      forEachWindow(end + kPrefetchDistance, [&](std::uint32_t q, std::uint32_t code) {
        Prefetch(index.HeadAddress(q, code));
      });
    }
    if (end + kPrefetchDistance / 2 < length) {
      forEachWindow(end + kPrefetchDistance / 2, [&](std::uint32_t q, std::uint32_t code) {
        Prefetch(index.EntryAddress(q, index.HeadAddress(q, code)->start));
      });
    }
    // The residue after the window, as a letter code; past the end every
    // bucket is read (its motifs then fit only if their windows end them).
    std::uint32_t next = 31;
    if (end + 1 < length) {
      const std::uint32_t after = keys[end + 1];
      next = (after >> kRunShift) == 0 ? kNoLetter : (after & kKeyMask) % 26;
    }
    forEachWindow(end, [&](std::uint32_t q, std::uint32_t code) {
      ++counters.windows;
      if (((index.Head(q, code).nextLetters >> next) & 1) == 0) return;
      ++counters.extended;
      VerifyBucket<kHoming>(index, input, q, code, end + 1 - q, hits, counters);
    });
  }
}

}  // namespace

void FindIndexedHits(const MotifIndex& index, const PassInput& input, std::vector<EngineHit>& hits,
                     EngineCounters& counters) {
  counters.residues += input.length;
  if (input.homing) {
    Pass<true>(index, input, hits, counters);
  } else {
    Pass<false>(index, input, hits, counters);
  }
}
