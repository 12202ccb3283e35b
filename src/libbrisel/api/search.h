// SPDX-License-Identifier: MIT
// search.h: the searches a front end runs, and where their results go.
//
// Part of the library API (databases.h is the other part). Each search takes
// the motifs in database order for every sequence, under the cut-off, and
// reports every hit: as text in one of the output formats (output_formats.h),
// byte for byte what brisel-search writes, or as HitRecords for front ends
// that want numbers (hit_tables.h collects them into columns), with the texts
// of each hit when asked. Progress lines go to a second stream when one is
// given. A report collector (report_collector.h), when given, is fed every
// sequence searched and its hits besides (search_engine.h), which leaves the
// text and records the same bytes.
// A search runs on `threads` threads with the same results for every count,
// the report's collector included.
//
// Faults: a failed write of the hits ends the search with Error (kOutput); a
// raised cancel flag ends it within a sequence or a piece of output with
// Error (kCancelled). What was written before stays written. A report's
// collector with a motif database of more motifs than a report takes
// (kReportMaxMotifs) is refused (kUsage) before anything is written.
#ifndef BRISEL_API_SEARCH_H
#define BRISEL_API_SEARCH_H

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api/databases.h"
#include "input/record_source.h"
#include "output/output_formats.h"
#include "output/output_streams.h"
#include "statistics/hit_statistics.h"
#include "translation/reading_frames.h"

namespace brisel {

class ReportCollector;

// The most threads a search takes.
inline constexpr unsigned kMaxThreadCount = 4096;
// N of the default cut-off 10^N.
inline constexpr std::int32_t kDefaultCutoffExponent = -2;

// What a search is asked to do, with the defaults of every front end (the
// programs, this API and the Python module).
struct SearchOptions {
  // Once a sequence's expectation of random hits would exceed this, its
  // remaining motifs are not tried (-e N gives 10^N).
  double cutoffExpectation = CutoffFromExponent(kDefaultCutoffExponent);
  // 0: one per CPU the process may run on.
  unsigned threads = 0;
  // Raised by the caller (from any thread): the search stops.
  const std::atomic<bool>* cancel = nullptr;
};

// What a translated search reads its nucleotide records as (--translate,
// --table, --frames, --min-length), with the defaults of every front end.
struct TranslationOptions {
  int table = 1;                      // an NCBI genetic code (genetic_codes.h)
  FrameSet frames = FrameSet::All();  // searched in the order +1, +2, +3, -1, -2, -3
  std::uint64_t minLength = 1;        // stretches shorter than this are left out
};

struct SearchOutput {
  OutputStream& hits;
  OutputStream* progress = nullptr;  // null: no progress lines
  OutputFormat format = OutputFormat::kPipe;
  bool header = true;                 // the format's header line first
  bool records = false;               // HitRecords instead of text: `format` and `header` unused
  bool recordTexts = false;           // with records: each followed by its texts (HitRecord)
  ReportCollector* report = nullptr;  // fed every sequence searched, when given
};

// One hit, in the order of the text's hit lines. With recordTexts, the record
// is followed by `textBytes` bytes: on the first hit of a sequence (in a
// translated search, on the first of each stretch), the sequence's name as a
// FASTA name line, '>' included (empty for a raw sequence); then the hit's
// segment, its letters.
struct HitRecord {
  std::uint64_t sequence;   // from 0: the database's order (a set's), or the records' order
  std::uint32_t motif;      // in motif database order
  std::uint32_t textBytes;  // 0 without recordTexts
  std::uint64_t start;      // 1-based; of a translated hit, its first base on the record
  std::uint64_t end;        // inclusive; of a translated hit, its last base
  double expectation;
  double probabilityOfNoRandomHit;
  std::int32_t frame;          // of a translated hit, +1 to +3 or -1 to -3; else 0
  std::uint32_t width;         // the hit's letters
  std::uint64_t recordLength;  // of a translated hit, the record's bases; else 0
};

// The indexed search of every sequence of `sequences`, in database order: of
// a shard set, the shards' in the manifest's order, numbered on from shard to
// shard (in progress lines and HitRecords) and byte for byte the search of
// one database of the same records; of one shard of a set (Shard), numbered
// as in the set.
void SearchDatabase(const MotifDatabase& motifs, const SequenceDatabase& sequences,
                    const SearchOptions& options, const SearchOutput& output);

// The indexed search of the records of `source`, in order: byte for byte the
// search of a sequence database that brisel-makedb built from the same
// records. Names are database names (a FASTA name line without its '>'). The
// source ends the search by ending its records; a source that stops at a
// fault keeps it for the caller, and the records before it are all searched
// and written.
void SearchRecords(const MotifDatabase& motifs, RecordSource& source, const SearchOptions& options,
                   const SearchOutput& output);

// The translated search of the nucleotide records of `source`, in order: each
// record is translated with the genetic code of `translation` in its frames,
// and every stretch between stops (and the frames' ends) of at least
// minLength amino acids is searched as the indexed search searches a protein
// sequence of those letters (parallel/frame_pieces.h gives the order). Names
// are database names. The rows are each format's translated rows
// (output_formats.h); a progress line per record. The source must hold
// nucleotide letters only (FastaFileRecords with RecordLetters::kNucleotides,
// or NucleotideRecords); it ends the search by ending its records, as in
// SearchRecords. Throws Error (kUsage) for a table that NCBI has not.
void SearchTranslatedRecords(const MotifDatabase& motifs, RecordSource& source,
                             const TranslationOptions& translation, const SearchOptions& options,
                             const SearchOutput& output);

// The translated search of the nucleotide FASTA file `path` (plain or
// compressed, "-" for standard input). A fault of the input (which the
// program reports with how far the hits were written) is thrown as an Error
// once the records before it are searched and written.
void SearchTranslatedFile(const MotifDatabase& motifs, const std::string& path,
                          const TranslationOptions& translation, const SearchOptions& options,
                          const SearchOutput& output);

// The translated search of a front end's own records (names as FASTA name
// lines with their '>', or empty), each checked first: a record with a byte
// that is no nucleotide letter ends the records, and its fault ("<sequences>:N:
// ...", N counted from 1) is thrown as an Error once the records before it are
// searched and written.
void SearchTranslatedSequences(const MotifDatabase& motifs, RecordSource& source,
                               const TranslationOptions& translation, const SearchOptions& options,
                               const SearchOutput& output);

// The scan search of the records of `source`, in order; names are FASTA name
// lines, which head their records' hits as they are.
void ScanRecords(const MotifDatabase& motifs, RecordSource& source, const SearchOptions& options,
                 const SearchOutput& output);

// The scan search of one raw sequence, which has no name.
void ScanSequence(const MotifDatabase& motifs, std::string_view residues,
                  const SearchOptions& options, const SearchOutput& output);

// The CPUs this process may run on (its affinity mask), at least 1.
unsigned AvailableCpuCount();

// The checks of the values a front end takes from its user, made here once
// so that every front end refuses a bad one alike: an Error of kind kUsage
// whose message names the option as the front end calls it (`option`) and
// quotes the value as the user gave it (`given`).

// A thread count of 1 to kMaxThreadCount. Throws "invalid thread count
// '<given>' (<option> takes a positive integer up to 4096)".
unsigned CheckedThreadCount(std::int64_t value, std::string_view given, std::string_view option);

// N of the cut-off 10^N, clamped to the range of a 32-bit signed integer.
std::int32_t ClampedCutoffExponent(std::int64_t value);

// The id of an NCBI genetic code named by `given`, one or more decimal
// digits. Throws "<option>: '<given>' is not a genetic code: NCBI's
// translation tables are 1, 2, ..., 33".
int CheckedGeneticCode(std::string_view given, std::string_view option);

// The frames that `given` names (ParseFrames). Throws "<option>: <fault>".
FrameSet CheckedFrames(std::string_view given, std::string_view option);

// A minimum stretch length of 0 or more amino acids (0 counts as 1). Throws
// "invalid length '<given>' (<option> takes a whole number of amino acids, 0
// or more)" for a negative value.
std::uint64_t CheckedMinLength(std::int64_t value, std::string_view given, std::string_view option);

}  // namespace brisel

#endif  // BRISEL_API_SEARCH_H
