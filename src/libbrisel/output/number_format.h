// SPDX-License-Identifier: MIT
// number_format.h: the numbers of the hit lines, written without printf.
//
// Each function writes one number at `out` and returns the end of what it
// wrote; no NUL is appended. The bytes are exactly those glibc's printf writes
// for the named conversion: the same digits, rounding, exponent form and
// spellings of zero, negative zero, infinities and NaNs ("nan", "-nan", "inf",
// "-inf", whatever the NaN payload).
//
// Invariants:
//  - The caller provides kMaxFormattedNumber writable bytes at `out` for a
//    double, whatever the value (the fallback below may also store a NUL
//    within them), and kMaxFormattedUnsigned bytes for an unsigned value.
//  - The decimal point is '.', as printf writes it in the "C" locale; brisel
//    never calls setlocale, so that is the locale it runs in.
//  - The digits are the exact decimal value of the double rounded to the
//    precision, halfway cases to even, as printf does in the default rounding
//    mode. printf follows the current floating-point rounding mode while
//    std::to_chars always rounds to nearest, so under any other mode the
//    functions hand the value to snprintf and stay byte-exact.
#ifndef BRISEL_NUMBER_FORMAT_H
#define BRISEL_NUMBER_FORMAT_H

#include <cstddef>
#include <cstdint>

namespace brisel {

// Enough for any double in the three conversions: "%.3f" of -DBL_MAX is a sign,
// 309 integer digits, the point and 3 decimals (314 bytes), and snprintf needs
// one byte more for its NUL. The exponent forms take at most 11 bytes
// ("-1.798e+308").
inline constexpr std::size_t kMaxFormattedNumber = 320;

// "%lu" of UINT64_MAX: 20 digits.
inline constexpr std::size_t kMaxFormattedUnsigned = 20;

// "%.2e": 1.23e-04, -5.00e+300, 0.00e+00.
char* FormatExponent2(char* out, double value);

// "%.3e": 1.235e-04.
char* FormatExponent3(char* out, double value);

// "%.3f": 0.993, 12.500, -0.000.
char* FormatFixed3(char* out, double value);

// "%lu" of a 64-bit unsigned value: decimal digits, no sign, no padding.
char* FormatUnsigned(char* out, std::uint64_t value);

}  // namespace brisel

#endif  // BRISEL_NUMBER_FORMAT_H
