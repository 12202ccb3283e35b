// SPDX-License-Identifier: MIT
// number_format.cpp: printf's %.2e, %.3e, %.3f and %lu through std::to_chars.
#include "output/number_format.h"

#include <cfenv>
#include <charconv>
#include <cstdio>

namespace brisel {

namespace {

// std::to_chars with a precision gives the exact decimal value rounded to
// nearest, halfway cases to even, and spells zeros, infinities and NaNs as glibc
// does; only the rounding mode can set the two apart.
char* FormatDouble(char* out, double value, std::chars_format format, int precision,
                   const char* conversion) {
  if (std::fegetround() != FE_TONEAREST) [[unlikely]] {
    const int length = std::snprintf(out, kMaxFormattedNumber, conversion, value);
    return out + length;
  }
  return std::to_chars(out, out + kMaxFormattedNumber, value, format, precision).ptr;
}

}  // namespace

char* FormatExponent2(char* out, double value) {
  return FormatDouble(out, value, std::chars_format::scientific, 2, "%.2e");
}

char* FormatExponent3(char* out, double value) {
  return FormatDouble(out, value, std::chars_format::scientific, 3, "%.3e");
}

char* FormatFixed3(char* out, double value) {
  return FormatDouble(out, value, std::chars_format::fixed, 3, "%.3f");
}

char* FormatUnsigned(char* out, std::uint64_t value) {
  return std::to_chars(out, out + kMaxFormattedUnsigned, value).ptr;
}

}  // namespace brisel
