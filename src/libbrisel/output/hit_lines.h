// SPDX-License-Identifier: MIT
// hit_lines.h: the row writers, which format the report of one sequence into
// a byte buffer, one per output format (output_formats.h).
//
// The pipe format has a header line, then one line
//   E|P|s|record|segment|start|end
// per hit, E as %.2e, P as %.3f, s as %.3e, 1-based inclusive positions, and
// every text up to its first NUL byte; the tsv and gff3 formats carry the same
// numbers in the rows output_formats.h describes. What depends only on the
// motif (its record and specificity, escaped as the format needs) is formatted
// once when the writer is made; what depends only on the sequence (its name)
// once per sequence; E and P once per run of hits of the same motif in one
// sequence, since they depend only on the motif and the sequence's length.
//
// A translated search (translated rows, Make*TranslatedRows) searches each
// stretch between stops of a nucleotide record as one sequence: the
// sequence's number is its record's, so one record's stretches share it, and
// the state's HitPlacement says where the stretch lies. Its rows carry the
// hit's place on the record (1-based, inclusive forward-strand positions of
// its codons, strand and frame, MapToRecord); a format's per-record header
// (the pipe format's ">name", GFF3's ##sequence-region) is written at the
// first hit of each record that the state sees. The state also notes the
// first record it began since ForgetRecords and that header's bytes, so that
// a parallel search, whose chunks may each begin inside a record that an
// earlier chunk began, can drop the repeated header (ordered_output.h).
//
// The bed format (BED6) writes the same rows for both searches: chrom (the
// name's first word), 0-based start, end, name (the motif record's first
// word), score (E as -100 log10 E, rounded, 0 to 1000), strand ('.' for a
// protein).
//
// A writer is shared read-only by the threads of a search; each thread keeps
// its own SequenceState.
#ifndef BRISEL_OUTPUT_HIT_LINES_H
#define BRISEL_OUTPUT_HIT_LINES_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database/motif_database.h"
#include "output/output_formats.h"
#include "statistics/hit_statistics.h"
#include "translation/reading_frames.h"

namespace brisel {

// Where the sequence that a translated search hands the row writer lies on
// its nucleotide record: its first letter is amino acid `firstAminoAcid`
// (from 0) of `frame` of a record of `recordLength` bases.
struct HitPlacement {
  ReadingFrame frame = ReadingFrame::FromIndex(0);
  std::uint64_t firstAminoAcid = 0;
  std::uint64_t recordLength = 0;
};

inline constexpr std::uint64_t kNoRecord = ~std::uint64_t{0};

class HitLineFormatter {
 public:
  virtual ~HitLineFormatter() = default;

  // The state of the sequence being written; one per thread.
  struct SequenceState {
    std::uint64_t sequence = 0;         // the sequence's number in its search
    std::string rowStart;               // the fields before the start position, if any
    std::uint32_t motif = 0xFFFFFFFFu;  // whose E and P are formatted below
    std::string numbers;                // the format's E and P together, if it has them so
    std::string expectation;
    std::string probability;

    // Translated rows only: where the sequence lies, the record of the last
    // BeginSequence, and the first record begun since ForgetRecords with the
    // bytes of the header it was given (0 when the format has none); that
    // header opened the output written since then.
    HitPlacement placement;
    std::uint64_t lastRecord = kNoRecord;
    std::uint64_t leadRecord = kNoRecord;
    std::size_t leadHeaderBytes = 0;
    void ForgetRecords() {
      lastRecord = kNoRecord;
      leadRecord = kNoRecord;
      leadHeaderBytes = 0;
    }
  };

  // Begins the report of a sequence that has hits, `sequence` its number in
  // the search from 0: the pipe format's header line (">" and a database
  // name, or the FASTA name line as it is, or nothing for a raw sequence), or
  // the start of each row of the other formats.
  virtual void BeginSequence(std::string& out, SequenceState& state, std::uint64_t sequence,
                             std::string_view name, NameKind kind) const = 0;

  // The hit line of motif m at 0-based `start`; `statistics` are E and P after
  // motif m for this sequence.
  virtual void AppendHitLine(std::string& out, SequenceState& state,
                             const HitStatistics& statistics, std::uint32_t m,
                             std::string_view segment, std::uint64_t start) const = 0;

 protected:
  // Formats E and P into `state` when the motif changes.
  static void FormatNumbers(SequenceState& state, const HitStatistics& statistics, std::uint32_t m);
};

std::unique_ptr<HitLineFormatter> MakePipeRows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeTsvRows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeGff3Rows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeBedRows(const MotifViews& motifs);

// The rows of a translated search, format by format (output_formats.h).
std::unique_ptr<HitLineFormatter> MakePipeTranslatedRows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeTsvTranslatedRows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeGff3TranslatedRows(const MotifViews& motifs);
std::unique_ptr<HitLineFormatter> MakeBedTranslatedRows(const MotifViews& motifs);

// The BED score of an expectation as the rows write it (%.2e): -100 log10 E
// rounded to the nearest whole number and held to 0 to 1000, so E >= 1 scores
// 0, E = 1e-5 scores 500 and E <= 1e-10 scores 1000.
unsigned BedScore(std::string_view writtenExpectation);

}  // namespace brisel

#endif  // BRISEL_OUTPUT_HIT_LINES_H
