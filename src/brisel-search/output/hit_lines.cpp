// SPDX-License-Identifier: MIT
// hit_lines.cpp: the bytes of header and hit lines.
#include "output/hit_lines.h"


#include "database/motif_database.h"
#include "output/number_format.h"

namespace {

// Appends "start<separator>end<separator>" in 1-based inclusive positions.
void AppendPositions(std::string& out, std::uint64_t start, std::uint64_t width, char before,
                     char after) {
  char positions[2 * kMaxFormattedNumber + 3];
  char* at = positions;
  if (before != '\0') *at++ = before;
  at = FormatUnsigned(at, start + 1);
  *at++ = before != '\0' ? before : after;
  at = FormatUnsigned(at, start + width);
  *at++ = after;
  out.append(positions, at);
}

}  // namespace

HitLineFormatter::HitLineFormatter(const motifMappedMemoryCDT& motifs, OutputFormat format)
    : format_(format) {
  headStarts_.reserve(std::uint64_t{numMotifs} + 1);
  headStarts_.push_back(0);
  char number[kMaxFormattedNumber];
  for (std::uint32_t m = 0; m < numMotifs; ++m) {
    const std::string_view specificity(number, FormatExponent3(number, motifs.specificities[m]));
    const std::string_view record = UntilNul(MotifRecord(motifs, m));
    switch (format_) {
      case OutputFormat::kPipe:
        heads_ += '|';
        heads_ += specificity;
        heads_ += '|';
        heads_ += record;
        heads_ += '|';
        break;
      case OutputFormat::kTsv:
        AppendTsvField(heads_, record);
        heads_ += '\t';
        specificities_.push_back('\t' + std::string(specificity) + '\t');
        break;
      case OutputFormat::kGff3: {
        heads_ += "\t.\t.\t";
        const std::string_view name = FirstWord(record);
        if (!name.empty()) {
          heads_ += "Name=";
          AppendGff3Value(heads_, name);
          heads_ += ';';
        }
        if (!record.empty()) {
          heads_ += "Note=";
          AppendGff3Value(heads_, record);
          heads_ += ';';
        }
        heads_ += "specificity=";
        heads_ += specificity;
        heads_ += ";segment=";
        break;
      }
    }
    headStarts_.push_back(heads_.size());
  }
}

void HitLineFormatter::BeginSequence(std::string& out, SequenceState& state, std::string_view name,
                                     NameKind kind) const {
  state.motif = 0xFFFFFFFFu;
  state.rowStart.clear();
  switch (format_) {
    case OutputFormat::kPipe:
      if (kind == NameKind::kNone) return;
      if (kind == NameKind::kDatabase) out += '>';
      out += UntilNul(name);
      out += '\n';
      return;
    case OutputFormat::kTsv:
      AppendTsvField(state.rowStart, PlainName(name, kind));
      state.rowStart += '\t';
      return;
    case OutputFormat::kGff3:
      AppendGff3Seqid(state.rowStart, PlainName(name, kind));
      state.rowStart += "\tbrisel\tpolypeptide_motif\t";
      return;
  }
}

void HitLineFormatter::AppendHitLine(std::string& out, SequenceState& state,
                                     const HitStatistics& statistics, std::uint32_t m,
                                     std::string_view segment, std::uint64_t start) const {
  if (state.motif != m) {
    char number[kMaxFormattedNumber];
    state.expectation.assign(number, FormatExponent2(number, statistics.expectation));
    state.probability.assign(number, FormatFixed3(number, statistics.probabilityOfNoRandomHit));
    if (format_ == OutputFormat::kPipe) {
      state.pipeNumbers = state.expectation;
      state.pipeNumbers += '|';
      state.pipeNumbers += state.probability;
    }
    state.motif = m;
  }
  const std::uint64_t width = segment.size();
  segment = UntilNul(segment);
  switch (format_) {
    case OutputFormat::kPipe:
      out += state.pipeNumbers;
      out += Head(m);
      out += segment;
      AppendPositions(out, start, width, '|', '\n');
      return;
    case OutputFormat::kTsv:
      out += state.rowStart;
      AppendPositions(out, start, width, '\0', '\t');
      out += Head(m);
      AppendTsvField(out, segment);
      out += specificities_[m];
      out += state.expectation;
      out += '\t';
      out += state.probability;
      out += '\n';
      return;
    case OutputFormat::kGff3:
      out += state.rowStart;
      AppendPositions(out, start, width, '\0', '\t');
      out += state.expectation;
      out += Head(m);
      AppendGff3Value(out, segment);
      out += ";p_no_random_hit=";
      out += state.probability;
      out += '\n';
      return;
  }
}
