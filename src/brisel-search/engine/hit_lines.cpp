// hit_lines.cpp: the bytes of header and hit lines.
#include "engine/hit_lines.h"

#include <cstdio>
#include <cstring>

#include "motif_database.h"
#include "number_format.h"

namespace {

std::string_view UntilNul(std::string_view text) {
  return text.substr(0, ::strnlen(text.data(), text.size()));
}

}  // namespace

HitLineFormatter::HitLineFormatter(const motifMappedMemoryCDT& motifs) {
  partStarts_.reserve(std::uint64_t{numMotifs} + 1);
  partStarts_.push_back(0);
  char number[kMaxFormattedNumber];
  for (std::uint32_t m = 0; m < numMotifs; ++m) {
    motifParts_ += '|';
    motifParts_.append(number, FormatExponent3(number, motifs.specificities[m]));
    motifParts_ += '|';
    motifParts_ += UntilNul(MotifRecord(motifs, m));
    motifParts_ += '|';
    partStarts_.push_back(motifParts_.size());
  }
}

void HitLineFormatter::AppendHeader(std::string& out, std::string_view prefix,
                                    std::string_view name) {
  out += prefix;
  out += UntilNul(name);
  out += '\n';
}

void HitLineFormatter::AppendHitLine(std::string& out, Numbers& numbers,
                                     const HitStatistics& statistics, std::uint32_t m,
                                     std::string_view segment, std::uint64_t start) const {
  if (numbers.motif != m) {
    char number[kMaxFormattedNumber];
    numbers.text.assign(number, FormatExponent2(number, statistics.expectation));
    numbers.text += '|';
    numbers.text.append(number, FormatFixed3(number, statistics.probabilityOfNoRandomHit));
    numbers.motif = m;
  }
  out += numbers.text;
  out.append(motifParts_, partStarts_[m], partStarts_[m + 1] - partStarts_[m]);
  out += UntilNul(segment);
  char positions[2 * kMaxFormattedNumber + 2];
  char* at = positions;
  *at++ = '|';
  at = FormatUnsigned(at, start + 1);
  *at++ = '|';
  at = FormatUnsigned(at, start + segment.size());
  *at++ = '\n';
  out.append(positions, at);
}
