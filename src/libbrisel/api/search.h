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
#include <string_view>
#include <vector>

#include "api/databases.h"
#include "input/record_source.h"
#include "output/output_formats.h"
#include "output/output_streams.h"
#include "statistics/hit_statistics.h"

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
// is followed by `textBytes` bytes: on the first hit of a sequence, the
// sequence's name as a FASTA name line, '>' included (empty for a raw
// sequence); then the hit's segment, end - start + 1 bytes.
struct HitRecord {
  std::uint64_t sequence;   // from 0: the database's order (a set's), or the records' order
  std::uint32_t motif;      // in motif database order
  std::uint32_t textBytes;  // 0 without recordTexts
  std::uint64_t start;      // 1-based
  std::uint64_t end;        // inclusive
  double expectation;
  double probabilityOfNoRandomHit;
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

}  // namespace brisel

#endif  // BRISEL_API_SEARCH_H
