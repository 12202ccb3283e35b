// SPDX-License-Identifier: MIT
// search.cpp: the searches of the library API, over the engine and the
// parallel loops.
#include "api/search.h"

#include <sched.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include <stdexcept>

#include "api/hit_tables.h"
#include "api/search_reports.h"
#include "base/error.h"
#include "engine/search_engine.h"
#include "input/fasta_file_records.h"
#include "output/hit_lines.h"
#include "output/report_spill.h"
#include "parallel/parallel_search.h"
#include "report/report_collector.h"
#include "translation/codon_table.h"
#include "translation/genetic_codes.h"
#include "translation/stretches.h"

namespace brisel {

namespace {

// The "format" of HitRecords: each hit as the bytes of one record, and with
// texts the sequence's name (on its first hit) and the segment after it.
class RecordRows final : public HitLineFormatter {
 public:
  RecordRows(bool texts, bool translated) : texts_(texts), translated_(translated) {}

  void BeginSequence(std::string&, SequenceState& state, std::uint64_t sequence,
                     std::string_view name, NameKind kind) const override {
    state.sequence = sequence;
    if (!texts_) return;
    // The name waits for the first hit; a motif number of all ones marks it.
    state.motif = 0xFFFFFFFFu;
    state.rowStart.clear();
    if (kind == NameKind::kDatabase) state.rowStart += '>';
    if (kind != NameKind::kNone) state.rowStart += name;
  }

  void AppendHitLine(std::string& out, SequenceState& state, const HitStatistics& statistics,
                     std::uint32_t m, std::string_view segment,
                     std::uint64_t start) const override {
    std::string_view name;
    if (texts_ && state.motif == 0xFFFFFFFFu) name = state.rowStart;
    HitRecord record{state.sequence,
                     m,
                     texts_ ? static_cast<std::uint32_t>(name.size() + segment.size()) : 0,
                     start + 1,
                     start + segment.size(),
                     statistics.expectation,
                     statistics.probabilityOfNoRandomHit,
                     0,
                     static_cast<std::uint32_t>(segment.size()),
                     0};
    if (translated_) {
      const HitPlacement& at = state.placement;
      const std::uint64_t first = at.firstAminoAcid + start;
      const RecordRange range =
          MapToRecord(at.frame, at.recordLength, first, first + segment.size());
      record.start = range.start;
      record.end = range.end;
      record.frame = at.frame.number();
      record.recordLength = at.recordLength;
    }
    out.append(reinterpret_cast<const char*>(&record), sizeof record);
    if (!texts_) return;
    out += name;
    out += segment;
    state.motif = m;
  }

 private:
  bool texts_;
  bool translated_;
};

unsigned ThreadCount(const SearchOptions& options) {
  return options.threads != 0 ? options.threads : AvailableCpuCount();
}

// Sets up the rows, the header and the engine of a search, runs `search`
// with them and reports how it ended.
template <typename Search>
void Run(const MotifDatabase& motifs, SearchKind kind, const SearchOptions& options,
         const SearchOutput& output, Search search, bool translated = false) {
  if (output.report != nullptr && motifs.size() > kReportMaxMotifs) {
    throw Error(Error::Kind::kUsage, "a report takes at most " + std::to_string(kReportMaxMotifs) +
                                         " motifs, and the motif database has " +
                                         std::to_string(motifs.size()));
  }
  const std::unique_ptr<HitLineFormatter> rows =
      output.records ? std::make_unique<RecordRows>(output.recordTexts, translated)
                     : MakeRows(output.format, motifs.blocks(), translated);
  if (!output.records && output.header) {
    output.hits.Write(OutputHeaderLine(output.format, translated));
  }
  SearchEngine engine(motifs.blocks(), options.cutoffExpectation, kind, *rows);
  NullStream noProgress;
  const SearchStreams streams{output.hits,
                              output.progress != nullptr ? *output.progress : noProgress,
                              options.cancel, output.report};
  search(engine, streams);
  if (output.hits.failed()) {
    throw Error(Error::Kind::kOutput,
                std::string("cannot write the hits: ") + std::strerror(output.hits.error()),
                output.hits.error());
  }
  if (options.cancel != nullptr && options.cancel->load()) {
    throw Error(Error::Kind::kCancelled, "the search was cancelled");
  }
}

}  // namespace

void SearchDatabase(const MotifDatabase& motifs, const SequenceDatabase& sequences,
                    const SearchOptions& options, const SearchOutput& output) {
  Run(motifs, SearchKind::kIndexed, options, output,
      [&](SearchEngine& engine, const SearchStreams& streams) {
        std::vector<DatabasePart> parts;
        for (const SequenceDatabase::Part& part : sequences.parts())
          parts.push_back({part.blocks.get(), SequenceCountOf(*part.blocks), part.first});
        RunDatabaseSearch(engine, parts, ThreadCount(options), streams);
      });
}

void SearchRecords(const MotifDatabase& motifs, RecordSource& source, const SearchOptions& options,
                   const SearchOutput& output) {
  Run(motifs, SearchKind::kIndexed, options, output,
      [&](SearchEngine& engine, const SearchStreams& streams) {
        RunRecordSearch(engine, source, SearchKind::kIndexed, ThreadCount(options), streams);
      });
}

namespace {

// A record source that counts the records it hands out.
class CountedRecords final : public RecordSource {
 public:
  explicit CountedRecords(RecordSource& source) : source_(source) {}
  bool Next(SequenceRecord& record) override {
    if (!source_.Next(record)) return false;
    ++count_;
    return true;
  }
  std::uint64_t count() const { return count_; }

 private:
  RecordSource& source_;
  std::uint64_t count_ = 0;
};

// Hits of a translated search with a report, held at a time.
constexpr std::size_t kReportTableHits = 65536;

}  // namespace

void SearchTranslatedRecords(const MotifDatabase& motifs, RecordSource& source,
                             const TranslationOptions& translation, const SearchOptions& options,
                             const SearchOutput& output) {
  const CodonTable table(
      GeneticCodeById(CheckedGeneticCode(std::to_string(translation.table), "the genetic code")));
  const auto search = [&](RecordSource& records, const SearchOutput& to) {
    FramePieces pieces(records, {&table, translation.frames, translation.minLength},
                       ParallelLimits{}.chunkResidues);
    Run(
        motifs, SearchKind::kIndexed, options, to,
        [&](SearchEngine& engine, const SearchStreams& streams) {
          RunTranslatedSearch(engine, pieces, ThreadCount(options), streams);
        },
        true);
  };
  if (output.report == nullptr || output.records) {
    search(source, output);
    return;
  }
  // With a report: a report's sequence is a nucleotide record, whose hits the
  // stretches of its frames give, in pieces on several threads. So the hits
  // come as records, a table of whole records' hits at a time, which is
  // written as the text of the chosen format (the bytes of the search
  // without a report) and fed to the report, on the writer's thread.
  CountedRecords counted(source);
  bool header = output.header;
  const auto take = [&](HitTable& hits) {
    try {
      WriteHitTable(hits, motifs, nullptr, output.format, header, output.hits);
      header = false;
      CollectHitTable(hits, motifs, nullptr, 0, *output.report);
    } catch (const Error&) {
      return false;  // the search stops; the fault is the hit stream's
    }
    return true;
  };
  HitTableStream records(true, kReportTableHits, take, true);
  SearchOutput recordOutput{records, output.progress};
  recordOutput.records = true;
  recordOutput.recordTexts = true;
  try {
    search(counted, recordOutput);
  } catch (const Error& error) {
    if (!output.hits.failed() || error.kind() != Error::Kind::kOutput) throw;
  }
  if (!output.hits.failed() && take(records.table())) {
    const std::uint64_t withHits = output.report->sequencesWithHits();
    if (counted.count() > withHits) {
      output.report->AddSequencesWithoutHits(counted.count() - withHits);
    }
  }
  if (output.hits.failed()) {
    throw Error(Error::Kind::kOutput,
                std::string("cannot write the hits: ") + std::strerror(output.hits.error()),
                output.hits.error());
  }
}

void SearchTranslatedFile(const MotifDatabase& motifs, const std::string& path,
                          const TranslationOptions& translation, const SearchOptions& options,
                          const SearchOutput& output) {
  FastaFileRecords records(path, RecordLetters::kNucleotides);
  SearchTranslatedRecords(motifs, records, translation, options, output);
  if (records.fault() != nullptr) throw *records.fault();
}

void SearchTranslatedSequences(const MotifDatabase& motifs, RecordSource& source,
                               const TranslationOptions& translation, const SearchOptions& options,
                               const SearchOutput& output) {
  NucleotideRecords records(source, "<sequences>");
  SearchTranslatedRecords(motifs, records, translation, options, output);
  if (records.fault() != nullptr) throw *records.fault();
}

void ScanRecords(const MotifDatabase& motifs, RecordSource& source, const SearchOptions& options,
                 const SearchOutput& output) {
  Run(motifs, SearchKind::kScan, options, output,
      [&](SearchEngine& engine, const SearchStreams& streams) {
        RunRecordSearch(engine, source, SearchKind::kScan, ThreadCount(options), streams);
      });
}

void ScanSequence(const MotifDatabase& motifs, std::string_view residues,
                  const SearchOptions& options, const SearchOutput& output) {
  // One sequence: one thread, and no progress line.
  Run(motifs, SearchKind::kScan, options, output,
      [&](SearchEngine& engine, const SearchStreams& streams) {
        SearchEngine::Worker worker(engine);
        StreamSpill spill(streams.out);
        worker.SetSpill(&spill, kReportFlushBytes);
        worker.SetReport(streams.report);
        std::string report;
        worker.SearchText(0, {}, NameKind::kNone, residues, report);
        spill.Spill(report);
      });
}

unsigned AvailableCpuCount() {
  cpu_set_t cpus;
  CPU_ZERO(&cpus);
  const int count = ::sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : 0;
  // A machine with more CPUs than the set holds: the count of them all.
  const unsigned cpuCount =
      count > 0 ? static_cast<unsigned>(count) : std::thread::hardware_concurrency();
  return std::clamp(cpuCount, 1u, kMaxThreadCount);
}

unsigned CheckedThreadCount(std::int64_t value, std::string_view given, std::string_view option) {
  if (value < 1 || value > kMaxThreadCount) {
    throw Error(Error::Kind::kUsage, "invalid thread count '" + std::string(given) + "' (" +
                                         std::string(option) + " takes a positive integer up to " +
                                         std::to_string(kMaxThreadCount) + ")");
  }
  return static_cast<unsigned>(value);
}

std::int32_t ClampedCutoffExponent(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

int CheckedGeneticCode(std::string_view given, std::string_view option) {
  try {
    return ParseGeneticCode(given).id;
  } catch (const std::invalid_argument& fault) {
    throw Error(Error::Kind::kUsage, std::string(option) + ": " + fault.what());
  }
}

FrameSet CheckedFrames(std::string_view given, std::string_view option) {
  try {
    return ParseFrames(given);
  } catch (const std::invalid_argument& fault) {
    throw Error(Error::Kind::kUsage, std::string(option) + ": " + fault.what());
  }
}

std::uint64_t CheckedMinLength(std::int64_t value, std::string_view given,
                               std::string_view option) {
  if (value < 0) {
    throw Error(Error::Kind::kUsage, "invalid length '" + std::string(given) + "' (" +
                                         std::string(option) +
                                         " takes a whole number of amino acids, 0 or more)");
  }
  return static_cast<std::uint64_t>(value);
}

}  // namespace brisel
