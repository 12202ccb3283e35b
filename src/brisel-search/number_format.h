// number_format.h: the number conversions of the hit line, byte for byte
// those of printf's "%.2e", "%.3e", "%.3f" and "%lu".
//
// Each writes into `out`, which must hold kMaxFormattedNumber bytes, and
// returns the end of what it wrote; nothing is terminated.
#ifndef BRISEL_NUMBER_FORMAT_H
#define BRISEL_NUMBER_FORMAT_H

#include <cstdint>

// "%.3f" of the largest double has 309 digits before the point.
inline constexpr int kMaxFormattedNumber = 330;

char* FormatExponent2(char* out, double value);
char* FormatExponent3(char* out, double value);
char* FormatFixed3(char* out, double value);
char* FormatUnsigned(char* out, std::uint64_t value);

#endif  // BRISEL_NUMBER_FORMAT_H
