// SPDX-License-Identifier: MIT
// The hit-line numbers must be byte for byte what snprintf writes: every value
// of a large generated set goes through both and the first difference is
// reported with the value's bits.
#include "output/number_format.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string_view>
#include <vector>

using namespace brisel;

namespace {

using Formatter = char* (*)(char*, double);

constexpr std::uint64_t kTwoTo53 = std::uint64_t{1} << 53;

std::uint64_t Bits(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

double FromBits(std::uint64_t bits) {
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// The value, its negation and the doubles just below and above it.
void AddWithNeighbours(std::vector<double>& values, double value) {
  values.insert(values.end(),
                {value, -value, std::nextafter(value, -HUGE_VAL), std::nextafter(value, HUGE_VAL)});
}

// Every exactly representable D x 10^e where D has precision + 2 digits and
// ends in 5: the halfway cases of "%.<precision>e". The odd part of the double
// is D x 5^e, which must fit in 53 bits (e >= 0) or be an integer (e < 0).
void AddScientificTies(std::vector<double>& values, int precision) {
  std::uint64_t low = 1;
  for (int i = 0; i <= precision; ++i)
    low *= 10;
  for (std::uint64_t d = low + 5; d < 10 * low; d += 10) {
    std::uint64_t power = 1;  // 5^e
    for (int e = 0; power < kTwoTo53 / d; ++e, power *= 5)
      AddWithNeighbours(values, std::ldexp(static_cast<double>(d * power), e));
    power = 5;
    for (int e = -1; d % power == 0; --e, power *= 5)
      AddWithNeighbours(values, std::ldexp(static_cast<double>(d / power), e));
  }
}

// The halfway cases of "%.3f" are the odd multiples of 1/16 (0.0625 = 625e-4):
// the small ones, the largest ones and random ones between.
void AddFixedTies(std::vector<double>& values, std::mt19937_64& random) {
  for (std::uint64_t m = 1; m < (1 << 16); m += 2)
    AddWithNeighbours(values, std::ldexp(static_cast<double>(m), -4));
  for (std::uint64_t m = kTwoTo53 - 1; m > kTwoTo53 - 2000; m -= 2)
    AddWithNeighbours(values, std::ldexp(static_cast<double>(m), -4));
  for (int i = 0; i < 10000; ++i)
    AddWithNeighbours(values, std::ldexp(static_cast<double>((random() % kTwoTo53) | 1), -4));
}

// Powers of ten, and the boundaries where the rounded value moves to the next
// decade or to the first nonzero last digit, at every decimal exponent.
void AddDecades(std::vector<double>& values) {
  for (int e = -325; e <= 308; ++e) {
    for (const char* digits : {"1", "9.995", "9.9995", "9.5", "5", "4.9999999999999999"}) {
      char text[64];
      std::snprintf(text, sizeof text, "%se%d", digits, e);
      AddWithNeighbours(values, std::strtod(text, nullptr));
    }
  }
  for (double v : {9.995, 9.9995e-5, 0.9995, 0.99949999999999994, 0.0005, 0.00049999999999999,
                   99.9995, 999999.9995, 1.0625e-3, 0.125, 0.5, 1.5, 2.5, 1.125})
    AddWithNeighbours(values, v);
}

void AddSpecialValues(std::vector<double>& values, std::mt19937_64& random) {
  using Limits = std::numeric_limits<double>;
  for (double v : {0.0, 1.0, DBL_MAX, DBL_MIN, Limits::denorm_min(), DBL_MIN - Limits::denorm_min(),
                   Limits::infinity(), Limits::quiet_NaN(), Limits::signaling_NaN()})
    AddWithNeighbours(values, v);
  const std::uint64_t exponentBits = std::uint64_t{0x7ff} << 52;
  const std::uint64_t fractionBits = (std::uint64_t{1} << 52) - 1;
  const std::uint64_t signBit = std::uint64_t{1} << 63;
  for (int i = 0; i < 2000; ++i) {
    const std::uint64_t fraction = random() & fractionBits;
    const std::uint64_t sign = random() & signBit;
    values.push_back(FromBits(sign | exponentBits | (fraction | 1)));  // NaN payloads
    values.push_back(FromBits(sign | fraction));                       // subnormals
  }
}

// The ranges of the hit lines: expectations, probabilities and specificities.
void AddHitLineRanges(std::vector<double>& values, std::mt19937_64& random, int count) {
  std::uniform_real_distribution<double> uniform(0.0, 1.0);
  std::uniform_real_distribution<double> expectationExponent(-30.0, 10.0);
  std::uniform_real_distribution<double> specificityExponent(-40.0, 0.0);
  for (int i = 0; i < count; ++i) {
    values.push_back(std::pow(10.0, expectationExponent(random)));
    values.push_back(uniform(random));
    values.push_back(std::pow(10.0, specificityExponent(random)));
  }
}

void AddRandomBitPatterns(std::vector<double>& values, std::mt19937_64& random, int count) {
  for (int i = 0; i < count; ++i)
    values.push_back(FromBits(random()));
}

std::vector<double> ScientificValues(int precision) {
  std::mt19937_64 random(20240601 + precision);
  std::vector<double> values;
  AddSpecialValues(values, random);
  AddScientificTies(values, precision);
  AddDecades(values);
  AddHitLineRanges(values, random, 150000);
  AddRandomBitPatterns(values, random, 300000);
  return values;
}

// Fixed notation of a random bit pattern is mostly hundreds of digits, slow for
// both sides, so fewer of them; the hit-line ranges make up the count.
std::vector<double> FixedValues() {
  std::mt19937_64 random(20240602);
  std::vector<double> values;
  AddSpecialValues(values, random);
  AddFixedTies(values, random);
  AddDecades(values);
  AddHitLineRanges(values, random, 250000);
  AddRandomBitPatterns(values, random, 100000);
  return values;
}

// Formats every value both ways; reports the first difference only.
void ExpectSameAsPrintf(const char* conversion, Formatter format,
                        const std::vector<double>& values) {
  char ours[kMaxFormattedNumber];
  char theirs[kMaxFormattedNumber + 1];
  for (double value : values) {
    const int length = std::snprintf(theirs, sizeof theirs, conversion, value);
    ASSERT_GT(length, 0);
    ASSERT_LT(static_cast<std::size_t>(length), kMaxFormattedNumber);
    const char* end = format(ours, value);
    const std::string_view expected(theirs, static_cast<std::size_t>(length));
    const std::string_view got(ours, static_cast<std::size_t>(end - ours));
    if (got != expected) {
      ADD_FAILURE() << conversion << " of the double with bits 0x" << std::hex << Bits(value)
                    << ": printf writes \"" << expected << "\", we write \"" << got << "\"";
      return;
    }
  }
}

TEST(NumberFormat, Exponent2IsPrintfsPercentDot2e) {
  ExpectSameAsPrintf("%.2e", FormatExponent2, ScientificValues(2));
}

TEST(NumberFormat, Exponent3IsPrintfsPercentDot3e) {
  ExpectSameAsPrintf("%.3e", FormatExponent3, ScientificValues(3));
}

TEST(NumberFormat, Fixed3IsPrintfsPercentDot3f) {
  ExpectSameAsPrintf("%.3f", FormatFixed3, FixedValues());
}

// printf rounds by the current rounding mode; so must we.
TEST(NumberFormat, FollowsTheRoundingModeAsPrintfDoes) {
  std::mt19937_64 random(20240603);
  std::vector<double> values;
  AddSpecialValues(values, random);
  AddDecades(values);
  AddHitLineRanges(values, random, 10000);
  for (std::uint64_t m = 1; m < 2000; m += 2)
    AddWithNeighbours(values, std::ldexp(static_cast<double>(m), -4));  // ties of %.3f
  for (std::uint64_t d = 1005; d < 10000; d += 10)
    AddWithNeighbours(values, static_cast<double>(d));  // ties of %.2e
  for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(std::fesetround(mode), 0);
    ExpectSameAsPrintf("%.2e", FormatExponent2, values);
    ExpectSameAsPrintf("%.3e", FormatExponent3, values);
    ExpectSameAsPrintf("%.3f", FormatFixed3, values);
    std::fesetround(FE_TONEAREST);
  }
}

TEST(NumberFormat, UnsignedIsPrintfsPercentLu) {
  static_assert(sizeof(unsigned long) == sizeof(std::uint64_t));
  std::vector<std::uint64_t> values = {0, 1, UINT32_MAX, std::uint64_t{1} << 32, UINT64_MAX};
  for (std::uint64_t power = 10;; power *= 10) {  // 10^1 to 10^19
    values.insert(values.end(), {power - 1, power, power + 1});
    if (power > UINT64_MAX / 10) break;
  }
  std::mt19937_64 random(20240604);
  for (int i = 0; i < 200000; ++i)
    values.push_back(random() >> (random() % 64));  // every length of digits
  char ours[kMaxFormattedUnsigned];
  char theirs[32];
  for (std::uint64_t value : values) {
    const int length =
        std::snprintf(theirs, sizeof theirs, "%lu", static_cast<unsigned long>(value));
    const char* end = FormatUnsigned(ours, value);
    ASSERT_EQ(std::string_view(ours, static_cast<std::size_t>(end - ours)),
              std::string_view(theirs, static_cast<std::size_t>(length)))
        << "value " << value;
  }
}

}  // namespace
