// hit_report.cpp: hit statistics and the hit, header and progress lines.
#include "hit_report.h"

#include <cmath>
#include <cstring>

bool AddExpectedRandomHits(HitStatistics& statistics, std::uint64_t sequenceLength,
                           double specificity, double lengthCorrection, double cutoffExpectation) {
  // Every operation is carried out in long double (the x87 80-bit format, 64-bit
  // significand): the length is converted exactly, then multiplied, the length
  // correction subtracted, the specificity added, then the running expectation.
  long double sum = static_cast<long double>(sequenceLength);
  sum *= static_cast<long double>(specificity);
  sum -= static_cast<long double>(lengthCorrection);
  sum += static_cast<long double>(specificity);
  sum += static_cast<long double>(statistics.expectation);
  statistics.expectation = static_cast<double>(sum);
  return !(sum > static_cast<long double>(cutoffExpectation));
}

void MultiplyProbabilityOfNoRandomHit(HitStatistics& statistics, std::uint64_t sequenceLength,
                                      std::uint32_t motifWidth, double specificity) {
  const double noMatch = 1.0 - specificity;
  const auto placements = static_cast<double>(sequenceLength - motifWidth + 1);
  statistics.probabilityOfNoRandomHit *= std::pow(noMatch, placements);
}

void WriteTextUntilNul(std::FILE* out, std::string_view text) {
  const void* nul = std::memchr(text.data(), '\0', text.size());
  const std::size_t length =
      nul == nullptr ? text.size()
                     : static_cast<std::size_t>(static_cast<const char*>(nul) - text.data());
  std::fwrite(text.data(), 1, length, out);
}

void WriteHitLine(std::FILE* out, const HitStatistics& statistics, double specificity,
                  std::string_view record, std::string_view segment, std::uint64_t start) {
  std::fprintf(out, "%.2e|%.3f|%.3e|", statistics.expectation, statistics.probabilityOfNoRandomHit,
               specificity);
  WriteTextUntilNul(out, record);
  std::fputc('|', out);
  WriteTextUntilNul(out, segment);
  std::fprintf(out, "|%lu|%lu\n", static_cast<unsigned long>(start + 1),
               static_cast<unsigned long>(start + segment.size()));
}

void WriteProgressLine(std::FILE* err, std::uint64_t sequenceNumber) {
  std::fprintf(err, "Processing Sequence %lu\r", static_cast<unsigned long>(sequenceNumber));
}
