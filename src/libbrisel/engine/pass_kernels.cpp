// SPDX-License-Identifier: MIT
// pass_kernels.cpp: the per-residue loops, scalar and vectorised.
#include "engine/pass_kernels.h"

#include <algorithm>
#include <bit>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "engine/residue_codes.h"
#include "residues/letter_masks.h"

namespace brisel {

namespace {

constexpr std::uint32_t kWindows = 64;

std::size_t GatherScalar(const std::uint8_t* first, std::uint64_t base, std::uint64_t count,
                         const TableLookup& table, WindowRef* out) {
  std::size_t found = 0;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint32_t code = WindowCode(first + i, table.terms);
    if ((table.used[code / 32] >> (code % 32) & 1) != 0) {
      out[found++] = MakeWindowRef(base + i, BucketOfCode(table, code));
    }
  }
  return found;
}

// The bits of the first `count` of 64 windows.
inline std::uint64_t FirstWindows(std::uint64_t count) {
  return count >= kWindows ? ~std::uint64_t{0} : (std::uint64_t{1} << count) - 1;
}

// The references of the windows whose bits are set in `found`, from their codes.
inline std::size_t RefsOfFound(std::uint64_t found, std::uint64_t base, const std::uint32_t* codes,
                               const TableLookup& table, WindowRef* out) {
  std::size_t count = 0;
  for (; found != 0; found &= found - 1) {
    const auto i = static_cast<std::uint32_t>(std::countr_zero(found));
    out[count++] = MakeWindowRef(base + i, BucketOfCode(table, codes[i]));
  }
  return count;
}

std::uint32_t ListsDisagreeScalar(const std::uint32_t* positions, const std::uint8_t* letters,
                                  std::uint64_t count, const std::uint8_t* codes,
                                  std::uint64_t length) {
  if (count == 0) return 0;
  std::uint32_t bad = codes[positions[0] < length ? positions[0] : length] ^ letters[0];
  for (std::uint64_t i = 1; i < count; ++i) {
    const std::uint64_t p = positions[i];
    const std::uint32_t sameList = letters[i] == letters[i - 1] ? 1u : 0u;
    const std::uint32_t notAbove = p <= positions[i - 1] ? 1u : 0u;
    bad |= (codes[p < length ? p : length] ^ letters[i]) | (sameList & notAbove);
  }
  return bad;
}

std::uint32_t CodesFromMasksScalar(const std::uint32_t* masks, std::uint64_t count,
                                   std::uint8_t* codes, std::uint8_t* classes,
                                   std::uint64_t& blanks) {
  std::uint32_t odd = 0;
  std::uint64_t zeros = 0;
  for (std::uint64_t p = 0; p < count; ++p) {
    const std::uint32_t mask = masks[p];
    odd |= (mask & (mask - 1)) | (mask >> kLetterCount);
    // A single bit below 2^26 converts exactly to a float whose exponent is
    // the bit's index: a form of countr_zero that the vectoriser takes. For a
    // mask of 0 the low byte of exponent - 127 is 129, which the minimum
    // turns into kNoLetter.
    const std::uint32_t exponent =
        std::bit_cast<std::uint32_t>(static_cast<float>(static_cast<std::int32_t>(mask))) >> 23;
    codes[p] = std::min(static_cast<std::uint8_t>(exponent - 127), kNoLetter);
    zeros += mask == 0 ? 1u : 0u;
  }
  blanks += zeros;
  for (std::uint64_t p = 0; p < count; ++p)
    classes[p] = kClassTable.of[codes[p] & 31];
  return odd;
}

#if defined(__x86_64__)

// 16 windows from `first` on: their codes' bits, bit i for window i.
std::uint32_t UsedWindows16Sse2(const std::uint8_t* first, const CodeTerms& terms,
                                const std::uint32_t* bitmap, std::uint32_t* codesOut) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i w0 = _mm_set1_epi16(static_cast<std::int16_t>(terms.weights[0]));
  const __m128i w1 = _mm_set1_epi16(static_cast<std::int16_t>(terms.weights[1]));
  const __m128i w2 = _mm_set1_epi16(static_cast<std::int16_t>(terms.weights[2]));
  const __m128i pair = _mm_set1_epi32(441 | 1 << 16);  // high * 441 + low
  const auto load = [&](std::uint32_t j) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + terms.offsets[j]));
  };
  const __m128i c0 = load(0), c1 = load(1), c2 = load(2), c3 = load(3);
  const __m128i highL = _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(c0, zero), w0),
                                      _mm_mullo_epi16(_mm_unpacklo_epi8(c1, zero), w1));
  const __m128i lowL =
      _mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(c2, zero), w2), _mm_unpacklo_epi8(c3, zero));
  const __m128i highH = _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(c0, zero), w0),
                                      _mm_mullo_epi16(_mm_unpackhi_epi8(c1, zero), w1));
  const __m128i lowH =
      _mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(c2, zero), w2), _mm_unpackhi_epi8(c3, zero));
  const __m128i codes[4] = {_mm_madd_epi16(_mm_unpacklo_epi16(highL, lowL), pair),
                            _mm_madd_epi16(_mm_unpackhi_epi16(highL, lowL), pair),
                            _mm_madd_epi16(_mm_unpacklo_epi16(highH, lowH), pair),
                            _mm_madd_epi16(_mm_unpackhi_epi16(highH, lowH), pair)};
  // The bitmap words, read one by one (SSE2 has no gather).
  alignas(16) std::uint32_t words[16];
  alignas(16) std::uint32_t indices[16];
  for (int v = 0; v < 4; ++v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(codesOut) + v, codes[v]);
    _mm_store_si128(reinterpret_cast<__m128i*>(indices) + v, _mm_srli_epi32(codes[v], 5));
  }
  for (int i = 0; i < 16; ++i)
    words[i] = bitmap[indices[i]];
  // 1 << (code % 32) through a float of exponent code % 32 (2^31 converts to
  // 0x80000000, the value a conversion out of range gives).
  const __m128i thirtyOne = _mm_set1_epi32(31), bias = _mm_set1_epi32(127);
  __m128i unused[4];
  for (int v = 0; v < 4; ++v) {
    const __m128i exponent =
        _mm_slli_epi32(_mm_add_epi32(_mm_and_si128(codes[v], thirtyOne), bias), 23);
    const __m128i bit = _mm_cvttps_epi32(_mm_castsi128_ps(exponent));
    const __m128i word = _mm_load_si128(reinterpret_cast<const __m128i*>(words) + v);
    unused[v] = _mm_cmpeq_epi32(_mm_and_si128(word, bit), zero);
  }
  const __m128i bytes =
      _mm_packs_epi16(_mm_packs_epi32(unused[0], unused[1]), _mm_packs_epi32(unused[2], unused[3]));
  return ~static_cast<std::uint32_t>(_mm_movemask_epi8(bytes)) & 0xFFFF;
}

std::size_t GatherSse2(const std::uint8_t* first, std::uint64_t base, std::uint64_t count,
                       const TableLookup& table, WindowRef* out) {
  std::uint32_t codes[kWindows];
  std::size_t windows = 0;
  for (std::uint64_t block = 0; block < count; block += kWindows) {
    std::uint64_t found = 0;
    for (std::uint32_t i = 0; i < kWindows; i += 16) {
      found |=
          std::uint64_t{UsedWindows16Sse2(first + block + i, table.terms, table.used, codes + i)}
          << i;
    }
    windows +=
        RefsOfFound(found & FirstWindows(count - block), base + block, codes, table, out + windows);
  }
  return windows;
}

// 16 letter codes from `at` on, widened to 16 bits.
__attribute__((target("avx2,bmi2,popcnt"))) inline __m256i Widened16(const std::uint8_t* at) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)));
}

__attribute__((target("avx2,bmi2,popcnt"))) std::size_t GatherAvx2(const std::uint8_t* first,
                                                                   std::uint64_t base,
                                                                   std::uint64_t count,
                                                                   const TableLookup& table,
                                                                   WindowRef* out) {
  const CodeTerms& terms = table.terms;
  const std::uint32_t* bitmap = table.used;
  std::uint32_t codes[kWindows];
  const __m256i w0 = _mm256_set1_epi16(static_cast<std::int16_t>(terms.weights[0]));
  const __m256i w1 = _mm256_set1_epi16(static_cast<std::int16_t>(terms.weights[1]));
  const __m256i w2 = _mm256_set1_epi16(static_cast<std::int16_t>(terms.weights[2]));
  const __m256i pair = _mm256_set1_epi32(441 | 1 << 16);
  const __m256i thirtyOne = _mm256_set1_epi32(31);
  const auto gather = reinterpret_cast<const int*>(bitmap);
  std::size_t windows = 0;
  for (std::uint64_t block = 0; block < count; block += kWindows) {
    const std::uint8_t* at = first + block;
    std::uint64_t found = 0;
    for (std::uint32_t i = 0; i < kWindows; i += 16) {
      const __m256i c0 = Widened16(at + i + terms.offsets[0]);
      const __m256i c1 = Widened16(at + i + terms.offsets[1]);
      const __m256i c2 = Widened16(at + i + terms.offsets[2]);
      const __m256i c3 = Widened16(at + i + terms.offsets[3]);
      // Windows 0-3 and 8-11 in the low lane, 4-7 and 12-15 in the high one,
      // so that the in-lane unpacks give windows 0-7, then 8-15.
      const __m256i high = _mm256_permute4x64_epi64(
          _mm256_add_epi16(_mm256_mullo_epi16(c0, w0), _mm256_mullo_epi16(c1, w1)), 0xD8);
      const __m256i low =
          _mm256_permute4x64_epi64(_mm256_add_epi16(_mm256_mullo_epi16(c2, w2), c3), 0xD8);
      for (std::uint32_t k = 0; k < 2; ++k) {
        const __m256i code = _mm256_madd_epi16(
            k == 0 ? _mm256_unpacklo_epi16(high, low) : _mm256_unpackhi_epi16(high, low), pair);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + i + 8 * k), code);
        const __m256i word = _mm256_i32gather_epi32(gather, _mm256_srli_epi32(code, 5), 4);
        const __m256i bit = _mm256_srlv_epi32(word, _mm256_and_si256(code, thirtyOne));
        const auto bits = static_cast<std::uint32_t>(
            _mm256_movemask_ps(_mm256_castsi256_ps(_mm256_slli_epi32(bit, 31))));
        found |= std::uint64_t{bits} << (i + 8 * k);
      }
    }
    // With a population count instruction the buckets take a few operations.
    for (found &= FirstWindows(count - block); found != 0; found &= found - 1) {
      const auto i = static_cast<std::uint32_t>(std::countr_zero(found));
      const std::uint32_t code = codes[i];
      const std::uint32_t below = bitmap[code / 32] & ((std::uint32_t{1} << (code % 32)) - 1);
      out[windows++] = MakeWindowRef(
          base + block + i,
          table.ranks[code / 32] + static_cast<std::uint32_t>(__builtin_popcount(below)));
    }
  }
  return windows;
}

__attribute__((target("avx2,bmi2,popcnt"))) std::uint32_t CodesFromMasksAvx2(
    const std::uint32_t* masks, std::uint64_t count, std::uint8_t* codes, std::uint8_t* classes,
    std::uint64_t& blanks) {
  const __m256i one = _mm256_set1_epi32(1), zero = _mm256_setzero_si256();
  const __m256i bias = _mm256_set1_epi32(127), lowByte = _mm256_set1_epi32(0xFF);
  const __m256i noLetter = _mm256_set1_epi32(kNoLetter);
  const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
  // The classes of codes 0 to 15 and 16 to 31, in both lanes, for byte shuffles.
  const __m256i classesLow = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kClassTable.of)));
  const __m256i classesHigh = _mm256_broadcastsi128_si256(
      _mm_loadu_si128(reinterpret_cast<const __m128i*>(kClassTable.of + 16)));
  const __m256i fifteen = _mm256_set1_epi8(15);
  __m256i odd = zero, zeros = zero;
  std::uint64_t p = 0;
  for (; p + 32 <= count; p += 32) {
    __m256i code[4];
    for (int v = 0; v < 4; ++v) {
      const __m256i mask = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(masks + p) + v);
      odd =
          _mm256_or_si256(odd, _mm256_or_si256(_mm256_and_si256(mask, _mm256_sub_epi32(mask, one)),
                                               _mm256_srli_epi32(mask, kLetterCount)));
      zeros = _mm256_sub_epi32(zeros, _mm256_cmpeq_epi32(mask, zero));
      const __m256i exponent = _mm256_srli_epi32(_mm256_castps_si256(_mm256_cvtepi32_ps(mask)), 23);
      code[v] =
          _mm256_min_epu32(_mm256_and_si256(_mm256_sub_epi32(exponent, bias), lowByte), noLetter);
    }
    const __m256i bytes = _mm256_packus_epi16(_mm256_packus_epi32(code[0], code[1]),
                                              _mm256_packus_epi32(code[2], code[3]));
    const __m256i ordered = _mm256_permutevar8x32_epi32(bytes, order);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(codes + p), ordered);
    const __m256i low = _mm256_and_si256(ordered, fifteen);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(classes + p),
                        _mm256_blendv_epi8(_mm256_shuffle_epi8(classesLow, low),
                                           _mm256_shuffle_epi8(classesHigh, low),
                                           _mm256_cmpgt_epi8(ordered, fifteen)));
  }
  alignas(32) std::uint32_t lanes[8];
  _mm256_store_si256(reinterpret_cast<__m256i*>(lanes), zeros);
  for (const std::uint32_t z : lanes)
    blanks += z;
  std::uint32_t oddLanes = static_cast<std::uint32_t>(!_mm256_testz_si256(odd, odd));
  return oddLanes | CodesFromMasksScalar(masks + p, count - p, codes + p, classes + p, blanks);
}

// Eight entries at a time: each one's code by a gather (the codes are padded,
// so four bytes can be read at any position up to the length), and the entry
// before each, for the order within a list.
__attribute__((target("avx2,bmi2,popcnt"))) std::uint32_t ListsDisagreeAvx2(
    const std::uint32_t* positions, const std::uint8_t* letters, std::uint64_t count,
    const std::uint8_t* codes, std::uint64_t length) {
  if (count < 9) return ListsDisagreeScalar(positions, letters, count, codes, length);
  const __m256i limit = _mm256_set1_epi32(static_cast<int>(length));
  const __m256i lowByte = _mm256_set1_epi32(0xFF);
  const __m256i bias = _mm256_set1_epi32(static_cast<int>(0x80000000u));
  const auto gather = reinterpret_cast<const int*>(codes);
  __m256i bad = _mm256_setzero_si256();
  std::uint64_t i = 1;  // entry 0 has none before it
  for (; i + 8 <= count; i += 8) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(positions + i));
    const __m256i before = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(positions + i - 1));
    const __m256i letter =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(letters + i)));
    const __m256i letterBefore =
        _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(letters + i - 1)));
    // Above the entry before, unsigned: both shifted by 2^31, then signed.
    const __m256i above =
        _mm256_cmpgt_epi32(_mm256_xor_si256(p, bias), _mm256_xor_si256(before, bias));
    const __m256i sameList = _mm256_cmpeq_epi32(letter, letterBefore);
    const __m256i code =
        _mm256_and_si256(_mm256_i32gather_epi32(gather, _mm256_min_epu32(p, limit), 1), lowByte);
    bad = _mm256_or_si256(bad, _mm256_andnot_si256(above, sameList));
    bad = _mm256_or_si256(bad, _mm256_xor_si256(code, letter));
  }
  std::uint32_t rest = static_cast<std::uint32_t>(!_mm256_testz_si256(bad, bad));
  // Entry 0, and the last few with the ones before them.
  rest |= codes[positions[0] < length ? positions[0] : length] ^ letters[0];
  return rest |
         ListsDisagreeScalar(positions + i - 1, letters + i - 1, count - i + 1, codes, length);
}

bool HasAvx2() {
  return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi2") &&
         __builtin_cpu_supports("popcnt");
}

#endif  // __x86_64__

}  // namespace

CodeTerms TermsOf(const WindowShape& shape) {
  const std::uint8_t* o = shape.offsets.data();
  switch (shape.size) {
    case 4:
      return {{o[0], o[1], o[2], o[3]}, {kClassRadix, 1, kClassRadix}};
    case 3:
      return {{o[0], o[0], o[1], o[2]}, {1, 0, kClassRadix}};
    case 2:
      return {{0, 0, o[0], o[1]}, {0, 0, kClassRadix}};
    default:
      return {{0, 0, 0, o[0]}, {0, 0, 0}};
  }
}

bool KernelLevelAvailable(KernelLevel level) {
#if defined(__x86_64__)
  return level != KernelLevel::kAvx2 || HasAvx2();
#else
  return level == KernelLevel::kScalar;
#endif
}

KernelLevel BestKernelLevel() {
  if (KernelLevelAvailable(KernelLevel::kAvx2)) return KernelLevel::kAvx2;
  if (KernelLevelAvailable(KernelLevel::kSse2)) return KernelLevel::kSse2;
  return KernelLevel::kScalar;
}

PassKernels KernelsOf(KernelLevel level) {
#if defined(__x86_64__)
  if (level == KernelLevel::kAvx2) return {GatherAvx2, {CodesFromMasksAvx2, ListsDisagreeAvx2}};
  if (level == KernelLevel::kSse2) return {GatherSse2, {CodesFromMasksScalar, ListsDisagreeScalar}};
#endif
  (void)level;
  return {GatherScalar, {CodesFromMasksScalar, ListsDisagreeScalar}};
}

}  // namespace brisel
