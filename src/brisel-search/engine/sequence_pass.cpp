// SPDX-License-Identifier: MIT
// sequence_pass.cpp: the q-gram pass and the verification of its candidates.
#include "engine/sequence_pass.h"

#include <bit>
#include <span>

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
// prefetched this many windows ahead (the entry half as many).
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

// A window to look up: its last residue (bits 24 and up), its q (bits 20 to
// 23) and its q-gram code (bits 0 to 19).
using WindowRef = std::uint64_t;
constexpr WindowRef MakeWindowRef(std::uint64_t end, std::uint32_t q, std::uint32_t code) {
  return end << 24 | std::uint64_t{q} << 20 | code;
}

// The q-gram codes of the windows that end at each residue, for every q at
// once: the code of q letters is that of q - 1 letters plus the q-th letter
// back times 26^(q - 1), so no residue waits for the arithmetic of the one
// before, and `run` counts the letters in a row that end here.
class WindowCodes {
 public:
  void Next(std::uint32_t code) {
    const bool letter = code != kNoLetter;
    run_ = letter ? (run_ < kMaxWindow ? run_ + 1 : run_) : 0;
    last_[3] = last_[2];
    last_[2] = last_[1];
    last_[1] = last_[0];
    last_[0] = letter ? code : 0;
    codes_[1] = last_[0];
    codes_[2] = codes_[1] + last_[1] * kQGramCodes[1];
    codes_[3] = codes_[2] + last_[2] * kQGramCodes[2];
    codes_[4] = codes_[3] + last_[3] * kQGramCodes[3];
  }
  std::uint32_t run() const { return run_; }
  std::uint32_t code(std::uint32_t q) const { return codes_[q]; }

 private:
  std::uint32_t last_[kMaxWindow] = {0, 0, 0, 0};
  std::uint32_t codes_[kMaxWindow + 1] = {0, 0, 0, 0, 0};
  std::uint32_t run_ = 0;
};

// Residues are taken this many at a time, so that the windows of a sequence
// of any length take bounded memory.
constexpr std::uint64_t kSegmentResidues = std::uint64_t{1} << 16;

// Collects the windows whose bucket holds any motif among those that end at
// residues `from` to `to` (a multiple of 64 apart, but at the sequence's
// end), 64 residues at a time: first the codes of every q, then, table by
// table, the bitmap bits of the windows in a register (the reads do not depend
// on each other), then the windows of the set bits. `codes` carries the
// letters before `from`.
void GatherWindows(const MotifIndex& index, const PassInput& input, std::uint64_t from,
                   std::uint64_t to, std::span<const std::uint32_t> tables, WindowCodes& codes,
                   std::vector<WindowRef>& windows) {
  windows.resize((to - from) * tables.size() + 1);
  std::size_t count = 0;
  std::uint32_t blockCodes[kMaxWindow + 1][64];
  std::uint32_t runs[64];
  for (std::uint64_t base = from; base < to; base += 64) {
    const std::uint64_t block = to - base < 64 ? to - base : 64;
    for (std::uint64_t i = 0; i < block; ++i) {
      codes.Next(input.codes[base + i]);
      runs[i] = codes.run();
      for (std::uint32_t q = 1; q <= kMaxWindow; ++q)
        blockCodes[q][i] = codes.code(q);
    }
    for (const std::uint32_t q : tables) {
      const std::uint64_t* used = index.UsedBitmap(q);
      std::uint64_t found = 0;
      for (std::uint64_t i = 0; i < block; ++i) {
        const std::uint32_t code = blockCodes[q][i];
        const std::uint64_t bit = (used[code / 64] >> (code % 64)) & (runs[i] >= q ? 1 : 0);
        found |= bit << i;
      }
      for (; found != 0; found &= found - 1) {
        const auto i = static_cast<std::uint64_t>(std::countr_zero(found));
        windows[count++] = MakeWindowRef(base + i, q, blockCodes[q][i]);
      }
    }
  }
  windows.resize(count);
}

template <bool kHoming>
void VerifyWindows(const MotifIndex& index, const PassInput& input,
                   const std::vector<WindowRef>& windows, std::vector<EngineHit>& hits,
                   EngineCounters& counters);

template <bool kHoming>
void Pass(const MotifIndex& index, const PassInput& input, std::vector<EngineHit>& hits,
          EngineCounters& counters) {
  std::uint32_t tables[kMaxWindow];
  std::uint32_t tableCount = 0;
  for (std::uint32_t q = 1; q <= kMaxWindow; ++q) {
    if (index.HasTable(q) && q <= input.length) tables[tableCount++] = q;
  }
  if (tableCount == 0) return;

  thread_local std::vector<WindowRef> windows;
  WindowCodes codes;
  for (std::uint64_t from = 0; from < input.length; from += kSegmentResidues) {
    const std::uint64_t to =
        input.length - from < kSegmentResidues ? input.length : from + kSegmentResidues;
    GatherWindows(index, input, from, to, {tables, tableCount}, codes, windows);
    VerifyWindows<kHoming>(index, input, windows, hits, counters);
  }
}

// Verifies the candidates of every window, in the order given.
template <bool kHoming>
void VerifyWindows(const MotifIndex& index, const PassInput& input,
                   const std::vector<WindowRef>& windows, std::vector<EngineHit>& hits,
                   EngineCounters& counters) {
  counters.windows += windows.size();
  const std::size_t count = windows.size();
  const auto q = [](WindowRef w) { return static_cast<std::uint32_t>(w >> 20) & 0xF; };
  const auto code = [](WindowRef w) { return static_cast<std::uint32_t>(w) & 0xFFFFF; };
  for (std::size_t i = 0; i < count; ++i) {
    // The random reads, a bucket's start and then its first entry, are
    // prefetched some windows ahead.
    if (i + kPrefetchDistance < count) {
      const WindowRef ahead = windows[i + kPrefetchDistance];
      Prefetch(index.BucketStartAddress(q(ahead), code(ahead)));
    }
    if (i + kPrefetchDistance / 2 < count) {
      const WindowRef ahead = windows[i + kPrefetchDistance / 2];
      Prefetch(index.EntryAddress(q(ahead), *index.BucketStartAddress(q(ahead), code(ahead))));
    }
    const WindowRef window = windows[i];
    const std::uint64_t end = window >> 24;
    VerifyBucket<kHoming>(index, input, q(window), code(window), end + 1 - q(window), hits,
                          counters);
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
