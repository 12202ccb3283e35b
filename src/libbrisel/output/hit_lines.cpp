// SPDX-License-Identifier: MIT
// hit_lines.cpp: the bytes of header and hit lines, format by format.
#include "output/hit_lines.h"

#include "database/motif_database.h"
#include "output/number_format.h"

namespace brisel {

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

std::string_view Specificity(char* number, const MotifViews& motifs, std::uint32_t m) {
  return {number, FormatExponent3(number, motifs.specificities[m])};
}

// The per-motif part of each row, back to back: motif m's is heads_[starts_[m]]
// up to heads_[starts_[m + 1]].
class MotifHeads {
 public:
  template <typename AppendHead>
  MotifHeads(const MotifViews& motifs, AppendHead append) {
    starts_.reserve(std::uint64_t{MotifCountOf(motifs)} + 1);
    starts_.push_back(0);
    for (std::uint32_t m = 0; m < MotifCountOf(motifs); ++m) {
      append(heads_, m);
      starts_.push_back(heads_.size());
    }
  }
  std::string_view Of(std::uint32_t m) const {
    return std::string_view(heads_).substr(starts_[m], starts_[m + 1] - starts_[m]);
  }

 private:
  std::string heads_;
  std::vector<std::uint64_t> starts_;
};

// ">name", then "E|P|s|record|segment|start|end" per hit.
class PipeRows final : public HitLineFormatter {
 public:
  explicit PipeRows(const MotifViews& motifs)
      : heads_(motifs, [&](std::string& heads, std::uint32_t m) {
          char number[kMaxFormattedNumber];
          heads += '|';
          heads += Specificity(number, motifs, m);
          heads += '|';
          heads += UntilNul(MotifRecord(motifs, m));
          heads += '|';
        }) {}

  void BeginSequence(std::string& out, SequenceState& state, std::uint64_t, std::string_view name,
                     NameKind kind) const override {
    state.motif = 0xFFFFFFFFu;
    if (kind == NameKind::kNone) return;
    if (kind == NameKind::kDatabase) out += '>';
    out += UntilNul(name);
    out += '\n';
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    if (state.motif != m) {
      FormatNumbers(state, statistics, m);
      state.numbers = state.expectation;
      state.numbers += '|';
      state.numbers += state.probability;
    }
    out += state.numbers;
    out += heads_.Of(m);
    out += UntilNul(segment);
    AppendPositions(out, start, segment.size(), '|', '\n');
  }

 private:
  MotifHeads heads_;
};

// name, start, end, record, segment, s, E, P.
class TsvRows final : public HitLineFormatter {
 public:
  explicit TsvRows(const MotifViews& motifs)
      : heads_(motifs,
               [&](std::string& heads, std::uint32_t m) {
                 AppendTsvField(heads, UntilNul(MotifRecord(motifs, m)));
                 heads += '\t';
               }),
        specificities_(motifs, [&](std::string& specificities, std::uint32_t m) {
          char number[kMaxFormattedNumber];
          specificities += '\t';
          specificities += Specificity(number, motifs, m);
          specificities += '\t';
        }) {}

  void BeginSequence(std::string&, SequenceState& state, std::uint64_t, std::string_view name,
                     NameKind kind) const override {
    state.motif = 0xFFFFFFFFu;
    state.rowStart.clear();
    AppendTsvField(state.rowStart, PlainName(name, kind));
    state.rowStart += '\t';
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    if (state.motif != m) FormatNumbers(state, statistics, m);
    out += state.rowStart;
    AppendPositions(out, start, segment.size(), '\0', '\t');
    out += heads_.Of(m);
    AppendTsvField(out, UntilNul(segment));
    out += specificities_.Of(m);
    out += state.expectation;
    out += '\t';
    out += state.probability;
    out += '\n';
  }

 private:
  MotifHeads heads_;
  MotifHeads specificities_;
};

// seqid, source, type, start, end, score E, strand, phase, attributes.
class Gff3Rows final : public HitLineFormatter {
 public:
  explicit Gff3Rows(const MotifViews& motifs)
      : heads_(motifs, [&](std::string& heads, std::uint32_t m) {
          char number[kMaxFormattedNumber];
          const std::string_view record = UntilNul(MotifRecord(motifs, m));
          heads += "\t.\t.\t";
          const std::string_view name = FirstWord(record);
          if (!name.empty()) {
            heads += "Name=";
            AppendGff3Value(heads, name);
            heads += ';';
          }
          if (!record.empty()) {
            heads += "Note=";
            AppendGff3Value(heads, record);
            heads += ';';
          }
          heads += "specificity=";
          heads += Specificity(number, motifs, m);
          heads += ";segment=";
        }) {}

  void BeginSequence(std::string&, SequenceState& state, std::uint64_t, std::string_view name,
                     NameKind kind) const override {
    state.motif = 0xFFFFFFFFu;
    state.rowStart.clear();
    AppendGff3Seqid(state.rowStart, PlainName(name, kind));
    state.rowStart += "\tbrisel\tpolypeptide_motif\t";
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    if (state.motif != m) FormatNumbers(state, statistics, m);
    out += state.rowStart;
    AppendPositions(out, start, segment.size(), '\0', '\t');
    out += state.expectation;
    out += heads_.Of(m);
    AppendGff3Value(out, UntilNul(segment));
    out += ";p_no_random_hit=";
    out += state.probability;
    out += '\n';
  }

 private:
  MotifHeads heads_;
};

}  // namespace

void HitLineFormatter::FormatNumbers(SequenceState& state, const HitStatistics& statistics,
                                     std::uint32_t m) {
  char number[kMaxFormattedNumber];
  state.expectation.assign(number, FormatExponent2(number, statistics.expectation));
  state.probability.assign(number, FormatFixed3(number, statistics.probabilityOfNoRandomHit));
  state.motif = m;
}

std::unique_ptr<HitLineFormatter> MakePipeRows(const MotifViews& motifs) {
  return std::make_unique<PipeRows>(motifs);
}

std::unique_ptr<HitLineFormatter> MakeTsvRows(const MotifViews& motifs) {
  return std::make_unique<TsvRows>(motifs);
}

std::unique_ptr<HitLineFormatter> MakeGff3Rows(const MotifViews& motifs) {
  return std::make_unique<Gff3Rows>(motifs);
}

}  // namespace brisel
