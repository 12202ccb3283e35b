// SPDX-License-Identifier: MIT
// hit_lines.cpp: the bytes of header and hit lines, format by format.
#include "output/hit_lines.h"

#include <cmath>
#include <cstdlib>

#include "database/motif_database.h"
#include "output/number_format.h"
#include "translation/stretches.h"

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

// ---- BED, and the rows of translated searches -------------------------------------

// Appends `value` in decimal, then `after`.
void AppendNumber(std::string& out, std::uint64_t value, char after) {
  char digits[kMaxFormattedUnsigned + 1];
  char* end = FormatUnsigned(digits, value);
  *end++ = after;
  out.append(digits, end);
}

// "+1" ... "-3".
void AppendFrame(std::string& out, ReadingFrame frame) {
  out += frame.strand();
  out += static_cast<char>('1' + frame.offset());
}

// The amino acids [first, end) of a hit at 0-based `start` of the sequence,
// counted in its frame, and the hit's place on the record.
struct TranslatedHit {
  std::uint64_t first;
  std::uint64_t end;
  RecordRange range;
};

TranslatedHit PlaceOf(const HitLineFormatter::SequenceState& state, std::uint64_t start,
                      std::uint64_t width) {
  const HitPlacement& at = state.placement;
  const std::uint64_t first = at.firstAminoAcid + start;
  return {first, first + width, MapToRecord(at.frame, at.recordLength, first, first + width)};
}

// Begins the rows of a sequence of a translated search, the stretch of
// record `record`: its E and P are its own; `header` writes the record's
// header (and sets what the rows take from the record) at its first sequence.
template <typename Header>
void BeginStretch(std::string& out, HitLineFormatter::SequenceState& state, std::uint64_t record,
                  Header header) {
  state.motif = 0xFFFFFFFFu;
  if (state.lastRecord == record) return;
  const std::size_t before = out.size();
  header();
  if (state.leadRecord == kNoRecord) {
    state.leadRecord = record;
    state.leadHeaderBytes = out.size() - before;
  }
  state.lastRecord = record;
}

// The BED chrom of a name: its first word, or "sequence".
void AppendBedChrom(std::string& out, std::string_view name) {
  const std::string_view word = FirstWord(UntilNul(name));
  out += word.empty() ? std::string_view("sequence") : word;
  out += '\t';
}

// BED6: chrom, start (0-based), end, name, score, strand; the motif's name
// and the score change with the motif only.
class BedRows final : public HitLineFormatter {
 public:
  BedRows(const MotifViews& motifs, bool translated)
      : translated_(translated), heads_(motifs, [&](std::string& heads, std::uint32_t m) {
          const std::string_view name = FirstWord(UntilNul(MotifRecord(motifs, m)));
          heads += name.empty() ? std::string_view(".") : name;
          heads += '\t';
        }) {}

  void BeginSequence(std::string& out, SequenceState& state, std::uint64_t sequence,
                     std::string_view name, NameKind kind) const override {
    const auto chrom = [&] {
      state.rowStart.clear();
      AppendBedChrom(state.rowStart, PlainName(name, kind));
    };
    if (translated_) {
      BeginStretch(out, state, sequence, chrom);
    } else {
      state.motif = 0xFFFFFFFFu;
      chrom();
    }
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    if (state.motif != m) {
      FormatNumbers(state, statistics, m);
      state.numbers.clear();
      AppendNumber(state.numbers, BedScore(state.expectation), '\t');
    }
    out += state.rowStart;
    char strand = '.';
    if (translated_) {
      const TranslatedHit hit = PlaceOf(state, start, segment.size());
      AppendNumber(out, hit.range.start - 1, '\t');
      AppendNumber(out, hit.range.end, '\t');
      strand = hit.range.strand;
    } else {
      AppendNumber(out, start, '\t');
      AppendNumber(out, start + segment.size(), '\t');
    }
    out += heads_.Of(m);
    out += state.numbers;
    out += strand;
    out += '\n';
  }

 private:
  const bool translated_;
  MotifHeads heads_;
};

// The pipe lines of a translated search: ">name" at a record's first hit,
// then the seven fields of a protein hit, its positions those of its amino
// acids in the frame's translation (1-based), and three more: the frame and
// the first and last base of the hit's codons on the forward strand.
class PipeTranslatedRows final : public HitLineFormatter {
 public:
  explicit PipeTranslatedRows(const MotifViews& motifs) : rows_(motifs) {}

  void BeginSequence(std::string& out, SequenceState& state, std::uint64_t sequence,
                     std::string_view name, NameKind kind) const override {
    BeginStretch(out, state, sequence,
                 [&] { rows_.BeginSequence(out, state, sequence, name, kind); });
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    const TranslatedHit hit = PlaceOf(state, start, segment.size());
    rows_.AppendHitLine(out, state, statistics, m, segment, hit.first);
    out.back() = '|';
    AppendFrame(out, state.placement.frame);
    out += '|';
    AppendNumber(out, hit.range.start, '|');
    AppendNumber(out, hit.range.end, '\n');
  }

 private:
  PipeRows rows_;
};

// The tsv rows of a translated search: name, start, end (on the record),
// strand, frame, record, segment, s, E, P.
class TsvTranslatedRows final : public HitLineFormatter {
 public:
  explicit TsvTranslatedRows(const MotifViews& motifs)
      : heads_(motifs,
               [&](std::string& heads, std::uint32_t m) {
                 heads += '\t';
                 AppendTsvField(heads, UntilNul(MotifRecord(motifs, m)));
                 heads += '\t';
               }),
        specificities_(motifs, [&](std::string& specificities, std::uint32_t m) {
          char number[kMaxFormattedNumber];
          specificities += '\t';
          specificities += Specificity(number, motifs, m);
          specificities += '\t';
        }) {}

  void BeginSequence(std::string& out, SequenceState& state, std::uint64_t sequence,
                     std::string_view name, NameKind kind) const override {
    BeginStretch(out, state, sequence, [&] {
      state.rowStart.clear();
      AppendTsvField(state.rowStart, PlainName(name, kind));
      state.rowStart += '\t';
    });
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    if (state.motif != m) FormatNumbers(state, statistics, m);
    const TranslatedHit hit = PlaceOf(state, start, segment.size());
    out += state.rowStart;
    AppendNumber(out, hit.range.start, '\t');
    AppendNumber(out, hit.range.end, '\t');
    out += hit.range.strand;
    out += '\t';
    AppendFrame(out, state.placement.frame);
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

// The GFF3 features of a translated search, on the nucleotide record with
// its strand, after a "##sequence-region seqid 1 length" line at the
// record's first hit; the attributes end with the frame.
class Gff3TranslatedRows final : public HitLineFormatter {
 public:
  explicit Gff3TranslatedRows(const MotifViews& motifs)
      : heads_(motifs, [&](std::string& heads, std::uint32_t m) {
          char number[kMaxFormattedNumber];
          const std::string_view record = UntilNul(MotifRecord(motifs, m));
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

  void BeginSequence(std::string& out, SequenceState& state, std::uint64_t sequence,
                     std::string_view name, NameKind kind) const override {
    BeginStretch(out, state, sequence, [&] {
      state.rowStart.clear();
      AppendGff3Seqid(state.rowStart, PlainName(name, kind));
      out += "##sequence-region ";
      out += state.rowStart;
      out += " 1 ";
      AppendNumber(out, state.placement.recordLength, '\n');
      state.rowStart += "\tbrisel\tpolypeptide_motif\t";
    });
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    if (state.motif != m) FormatNumbers(state, statistics, m);
    const TranslatedHit hit = PlaceOf(state, start, segment.size());
    out += state.rowStart;
    AppendNumber(out, hit.range.start, '\t');
    AppendNumber(out, hit.range.end, '\t');
    out += state.expectation;
    out += '\t';
    out += hit.range.strand;
    out += "\t.\t";
    out += heads_.Of(m);
    AppendGff3Value(out, UntilNul(segment));
    out += ";p_no_random_hit=";
    out += state.probability;
    out += ";frame=";
    AppendFrame(out, state.placement.frame);
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

namespace brisel {

std::unique_ptr<HitLineFormatter> MakeBedRows(const MotifViews& motifs) {
  return std::make_unique<BedRows>(motifs, false);
}

std::unique_ptr<HitLineFormatter> MakePipeTranslatedRows(const MotifViews& motifs) {
  return std::make_unique<PipeTranslatedRows>(motifs);
}

std::unique_ptr<HitLineFormatter> MakeTsvTranslatedRows(const MotifViews& motifs) {
  return std::make_unique<TsvTranslatedRows>(motifs);
}

std::unique_ptr<HitLineFormatter> MakeGff3TranslatedRows(const MotifViews& motifs) {
  return std::make_unique<Gff3TranslatedRows>(motifs);
}

std::unique_ptr<HitLineFormatter> MakeBedTranslatedRows(const MotifViews& motifs) {
  return std::make_unique<BedRows>(motifs, true);
}

unsigned BedScore(std::string_view writtenExpectation) {
  const std::string text(writtenExpectation);
  const double score = -100.0 * std::log10(std::strtod(text.c_str(), nullptr));
  if (!(score > 0)) return 0;  // E >= 1, infinite or not a number
  if (score >= 1000) return 1000;
  return static_cast<unsigned>(std::lround(score));
}

}  // namespace brisel
