// SPDX-License-Identifier: MIT
// hit_report.cpp: hit statistics and the hit, header and progress lines.
#include "hit_report.h"

#include "database/motif_database.h"
#include "output/number_format.h"

#include <cmath>
#include <cstring>

void MultiplyProbabilityOfNoRandomHit(HitStatistics& statistics, std::uint64_t sequenceLength,
                                      std::uint32_t motifWidth, double specificity) {
  const double noMatch = 1.0 - specificity;
  const auto placements = static_cast<double>(sequenceLength - motifWidth + 1);
  statistics.probabilityOfNoRandomHit *= std::pow(noMatch, placements);
}

void MultiplyMotifProbabilityOfNoRandomHit(HitStatistics& statistics,
                                           const motifMappedMemoryCDT& motifs, std::uint32_t m,
                                           std::uint64_t sequenceLength) {
  // The factor of every placement, anchored or not: pow(1 - s, placements),
  // which for the one placement of an anchored motif is 1 - s exactly.
  const double noMatch = 1.0 - motifs.specificities[m];
  const std::uint64_t placements =
      PlacementCount(MotifAnchorOf(motifs, m), MotifWidth(motifs, m), sequenceLength);
  statistics.probabilityOfNoRandomHit *= std::pow(noMatch, static_cast<double>(placements));
}

void CatchUpProbability(HitStatistics& statistics, const motifMappedMemoryCDT& motifs,
                        std::uint64_t sequenceLength, std::uint32_t motifIndex) {
  for (std::uint32_t m = statistics.nextFactor; m <= motifIndex; ++m) {
    if (MotifHasPlacement(motifs, m, sequenceLength)) {
      MultiplyMotifProbabilityOfNoRandomHit(statistics, motifs, m, sequenceLength);
    }
  }
  statistics.nextFactor = motifIndex + 1;
}

namespace {

std::string_view UntilNul(std::string_view text) {
  return text.substr(0, text.find('\0'));
}

// A hit line is gathered in a stack buffer and written with one fwrite. The
// three numbers always fit. A text is copied only if the room for the most that
// can follow it (the '|' before the segment and "|start|end\n") is still left
// after it; otherwise the part gathered so far and then the text are written
// on their own, so that texts of any length come out whole and in order.
constexpr std::size_t kHitLineBuffer = 1024;
constexpr std::size_t kTailRoom = 1 + (1 + kMaxFormattedUnsigned) * 2 + 1;
static_assert(kHitLineBuffer >= 3 * kMaxFormattedNumber + kTailRoom);

char* AppendText(std::FILE* out, char* line, char* end, std::string_view text) {
  const auto left = static_cast<std::size_t>(line + kHitLineBuffer - end);
  if (text.size() + kTailRoom <= left) {
    std::memcpy(end, text.data(), text.size());
    return end + text.size();
  }
  std::fwrite(line, 1, static_cast<std::size_t>(end - line), out);
  std::fwrite(text.data(), 1, text.size(), out);
  return line;
}

}  // namespace

void WriteTextUntilNul(std::FILE* out, std::string_view text) {
  const std::string_view shown = UntilNul(text);
  std::fwrite(shown.data(), 1, shown.size(), out);
}

void WriteHitLine(std::FILE* out, const HitStatistics& statistics, double specificity,
                  std::string_view record, std::string_view segment, std::uint64_t start) {
  char line[kHitLineBuffer];
  char* end = FormatExponent2(line, statistics.expectation);
  *end++ = '|';
  end = FormatFixed3(end, statistics.probabilityOfNoRandomHit);
  *end++ = '|';
  end = FormatExponent3(end, specificity);
  *end++ = '|';
  end = AppendText(out, line, end, UntilNul(record));
  *end++ = '|';
  end = AppendText(out, line, end, UntilNul(segment));
  *end++ = '|';
  end = FormatUnsigned(end, start + 1);
  *end++ = '|';
  end = FormatUnsigned(end, start + segment.size());
  *end++ = '\n';
  std::fwrite(line, 1, static_cast<std::size_t>(end - line), out);
}

void WriteProgressLine(std::FILE* err, std::uint64_t sequenceNumber) {
  std::fprintf(err, "Processing Sequence %lu\r", static_cast<unsigned long>(sequenceNumber));
}

void AppendProgressLine(std::string& err, std::uint64_t sequenceNumber) {
  constexpr std::string_view kWords = "Processing Sequence ";
  char number[kMaxFormattedUnsigned];
  char* end = FormatUnsigned(number, sequenceNumber);
  err.append(kWords);
  err.append(number, static_cast<std::size_t>(end - number));
  err.push_back('\r');
}
