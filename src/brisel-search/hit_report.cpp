// hit_report.cpp: hit statistics and the hit, header and progress lines.
#include "hit_report.h"

#include "motif_database.h"

#include <cmath>
#include <cstring>

void MultiplyProbabilityOfNoRandomHit(HitStatistics& statistics, std::uint64_t sequenceLength,
                                      std::uint32_t motifWidth, double specificity) {
  const double noMatch = 1.0 - specificity;
  const auto placements = static_cast<double>(sequenceLength - motifWidth + 1);
  statistics.probabilityOfNoRandomHit *= std::pow(noMatch, placements);
}

void CatchUpProbability(HitStatistics& statistics, const motifMappedMemoryCDT& motifs,
                        std::uint64_t sequenceLength, std::uint32_t motifIndex) {
  for (std::uint32_t m = statistics.nextFactor; m <= motifIndex; ++m) {
    const std::uint32_t width = MotifWidth(motifs, m);
    if (width <= sequenceLength) {
      MultiplyProbabilityOfNoRandomHit(statistics, sequenceLength, width, motifs.specificities[m]);
    }
  }
  statistics.nextFactor = motifIndex + 1;
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
