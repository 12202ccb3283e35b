// SPDX-License-Identifier: MIT
// pass_kernels.h: the two loops of the engine that touch every residue, in a
// plain form and in vector forms.
//
// - Codes from masks: a database sequence's residue masks become letter codes
//   and their classes (residue_codes.h), with the count of masks of 0 and
//   whether any mask is neither one letter nor 0.
// - Lists against codes: whether every letter position list entry holds a
//   position of its letter, above the entry before it in its list.
// - Gathered windows: of consecutive window starts and one table, the
//   windows whose codes have their bit set in the table's bitmap of used
//   buckets, with their buckets (64 windows at a time).
//
// Each has a scalar form, which defines it and serves every platform; on
// x86-64 an SSE2 form (the baseline of the architecture) and an AVX2 form,
// which runs only where the processor has AVX2 and BMI2. Every form computes
// exactly what the scalar one does; the tests run each available form against
// it. Kernels are chosen once, by level, when the engine is built
// (BestKernelLevel, or a level the caller names, as the tests do).
#ifndef BRISEL_ENGINE_PASS_KERNELS_H
#define BRISEL_ENGINE_PASS_KERNELS_H

#include <cstdint>

#include "engine/residue_codes.h"
#include "engine/window_choice.h"

namespace brisel {

// How a table's codes are formed from the letter classes under its shape
// (residue_codes.h), in 16-bit halves: code = high * 21^2 + low, with high =
// c[o0] * w0 + c[o1] * w1 and low = c[o2] * w2 + c[o3], where c is the
// window's first residue. Shapes of fewer positions leave the leading terms at
// weight 0.
struct CodeTerms {
  std::uint32_t offsets[4] = {0, 0, 0, 0};
  std::uint16_t weights[3] = {0, 0, 0};
};

CodeTerms TermsOf(const WindowShape& shape);

inline std::uint32_t WindowCode(const std::uint8_t* first, const CodeTerms& terms) {
  const std::uint32_t high =
      first[terms.offsets[0]] * terms.weights[0] + first[terms.offsets[1]] * terms.weights[1];
  const std::uint32_t low = first[terms.offsets[2]] * terms.weights[2] + first[terms.offsets[3]];
  return high * 441 + low;
}

// A window of one table to look up: its first residue (bits 20 and up; the
// pass counts them from the start of the segment it has reached) and its
// bucket (bits 0 to 19).
using WindowRef = std::uint64_t;
constexpr WindowRef MakeWindowRef(std::uint64_t start, std::uint32_t bucket) {
  return start << 20 | bucket;
}
constexpr std::uint64_t StartOf(WindowRef w) {
  return w >> 20;
}
constexpr std::uint32_t BucketOf(WindowRef w) {
  return static_cast<std::uint32_t>(w) & 0xFFFFF;
}

// What the pass needs of one table (motif_index.h): how codes are formed, the
// bit of each code whose bucket holds any motif (bit c is bit c % 32 of word
// c / 32), and per word the bits set before it, which number the buckets.
struct TableLookup {
  CodeTerms terms;
  const std::uint32_t* used;
  const std::uint32_t* ranks;
};

// The bucket of a code whose bit is set.
inline std::uint32_t BucketOfCode(const TableLookup& table, std::uint32_t code) {
  std::uint32_t below = table.used[code / 32] & ((std::uint32_t{1} << (code % 32)) - 1);
  // The set bits, in a few operations where the processor need not have a
  // population count instruction (x86-64's baseline has none, and
  // std::popcount then becomes a library call).
  below -= (below >> 1) & 0x55555555u;
  below = (below & 0x33333333u) + ((below >> 2) & 0x33333333u);
  below = (below + (below >> 4)) & 0x0F0F0F0Fu;
  return table.ranks[code / 32] + ((below * 0x01010101u) >> 24);
}

// Writes, in order, a reference to each window that starts at first[i] (i
// from 0 to count - 1, residue base + i; `first` points to letter classes)
// whose code's bit is set in the table; returns how many. Reads first[0] to
// first[count rounded up to a multiple of 64, plus the shape's span, less 1].
using GatherKernel = std::size_t (*)(const std::uint8_t* first, std::uint64_t base,
                                     std::uint64_t count, const TableLookup& table, WindowRef* out);

// CodesFromMasksKernel (residue_codes.h) writes the letter code of each of
// `count` masks (a single bit k below 26 is k, 0 is 26, any other mask some
// code) and its class, and adds the masks of 0 to `blanks`; it returns
// non-zero when some mask is neither one letter nor 0. ListsDisagreeKernel
// (residue_codes.h) checks a sequence's letter position lists against its
// codes.

enum class KernelLevel { kScalar, kSse2, kAvx2 };

// The best level this processor runs.
KernelLevel BestKernelLevel();
// Whether this build and processor run `level`.
bool KernelLevelAvailable(KernelLevel level);

struct PassKernels {
  GatherKernel gather;
  ResidueKernels residues;
};

// The kernels of an available level.
PassKernels KernelsOf(KernelLevel level);

}  // namespace brisel

#endif  // BRISEL_ENGINE_PASS_KERNELS_H
