// number_format.cpp: printf's conversions, through snprintf.
#include "number_format.h"

#include <cstdio>

char* FormatExponent2(char* out, double value) {
  return out + std::snprintf(out, kMaxFormattedNumber, "%.2e", value);
}
char* FormatExponent3(char* out, double value) {
  return out + std::snprintf(out, kMaxFormattedNumber, "%.3e", value);
}
char* FormatFixed3(char* out, double value) {
  return out + std::snprintf(out, kMaxFormattedNumber, "%.3f", value);
}
char* FormatUnsigned(char* out, std::uint64_t value) {
  return out + std::snprintf(out, kMaxFormattedNumber, "%lu", static_cast<unsigned long>(value));
}
