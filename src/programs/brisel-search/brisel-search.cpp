// SPDX-License-Identifier: MIT
// brisel-search.cpp: the entry point and run flow of brisel-search.
//
// One pass: read the options, map and check the motif database (or build it in
// memory from a pattern file, --patterns), run the indexed search over a
// mapped sequence database or over the records of a FASTA file (the direct
// search, --fasta), or the scan search over a text file, release what was
// mapped and exit. Hits go to standard output; standard error
// carries a newline before the search, the progress lines, and a newline after
// it. Any fault ends the run with one line on standard error and status 1 (the
// user's text in it with its control bytes escaped, message_text.h); an
// invalid option value (-j) with one line and status 2, before anything is
// mapped (-j, --format). Both searches run on -j N threads with the same
// output for every N. The tsv and gff3 formats open standard output with their
// header line, written once the databases are mapped and checked (and the scan
// search's file is open), right before the search. The scan search's file may be
// a pipe (`-s <(zcat x.fa)`) or any file but a directory; a read that fails
// during the search ends the run with status 1 once the search has finished
// with what it read, and so does a NUL byte in a line (worded as the direct
// search words it). So does a fault of the direct search's input (a read
// error, damaged compressed data, text that is not FASTA), once the records
// before it are searched: its message names the line where reading stopped
// and the last record whose hits were written. The warnings of a motif build
// (--patterns) go to standard error before the search's first newline. The
// translated search (--translate) is the direct search of nucleotide
// records, with the same faults and one more: a byte that is no nucleotide
// letter.
// With --report, the search also feeds a report collector, and once the
// search has ended well and standard output is flushed, the report is written
// (api/search_reports.h): its temporary file is made before anything is mapped,
// and a run that ends otherwise removes it, so the report's path holds a whole
// report of a whole search or what it held before. Both streams are the same
// bytes as without --report.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "api/databases.h"
#include "api/search.h"
#include "api/search_reports.h"
#include "base/error.h"
#include "base/message_text.h"
#include "builds/builds.h"
#include "database/block_files.h"
#include "database/database_paths.h"
#include "input/fasta_file_records.h"
#include "input/line_reader.h"
#include "output/output_formats.h"
#include "output/output_streams.h"
#include "search_options.h"

using namespace brisel;

namespace {

// The report's file while the run lasts: a run that ends before writing it,
// by std::exit too, removes the temporary file as this goes.
std::optional<ReportFile> reportFile;

[[noreturn]] void ExitWithFault(const std::string& fault) {
  std::fprintf(stderr, "brisel-search: %s\n", EscapedText(fault).c_str());
  std::exit(1);
}

// A database that cannot be mapped: the fatal mapping text for a block file,
// else the fault; status 1.
[[noreturn]] void ExitWithDatabaseFault(const brisel::Error& error) {
  std::fputs(DatabaseFaultReport(error, "brisel-search").c_str(), stderr);
  std::exit(1);
}

// A usage fault in the options: one line, status 2, nothing mapped or searched.
[[noreturn]] void ExitWithUsageFault(const std::string& fault) {
  std::fprintf(stderr, "brisel-search: %s\n", EscapedText(fault).c_str());
  std::exit(2);
}

brisel::MotifDatabase OpenMotifDatabase(const RunSettings& settings) {
  try {
    return brisel::MotifDatabase::Open(
        DatabaseRootPath(settings.useLocalPath, DatabaseKind::kMotifs, settings.motifDatabase));
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
}

// The motif database of --patterns, built in memory as brisel-makedb motifs
// builds it; its warnings go to `messages`.
brisel::MotifDatabase BuildMotifDatabase(const std::string& patternFile, OutputStream& messages) {
  brisel::MotifBuildOptions options;
  options.messages = &messages;
  options.program = "brisel-search";
  try {
    return brisel::BuildMotifDatabaseInMemory(patternFile, options);
  } catch (const brisel::Error& error) {
    ExitWithFault(error.what());
  }
}

// The sequence database, or shard set, that -s names; only the shard of
// --shard, after the build check of --build.
brisel::SequenceDatabase OpenSequenceDatabase(const RunSettings& settings) {
  try {
    brisel::SequenceDatabase sequences = brisel::SequenceDatabase::Open(
        DatabaseRootPath(settings.useLocalPath, DatabaseKind::kSequences,
                         settings.sequenceDatabase),
        settings.shard);
    if (settings.build) sequences.CheckBuild(*settings.build);
    return sequences;
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
}

// Standard output is flushed and checked before the run reports success, so
// that a full disk or a closed file is not reported as a completed search. The
// cause named is that of the first write that failed, during the search or
// here.
int FinishOutput(FileStream& out) {
  if (out.Flush()) return 0;
  std::fprintf(stderr, "brisel-search: cannot write standard output: %s\n",
               std::strerror(out.error()));
  return 1;
}

// The streams of the run and what its options say about the search.
struct Run {
  const RunSettings& settings;
  FileStream out{stdout};
  FileStream err{stderr};
  std::optional<ReportCollector> report{};  // with --report

  brisel::SearchOptions options() const {
    return {settings.cutoffExpectation, settings.threadCount, nullptr};
  }
  brisel::SearchOutput output() {
    brisel::SearchOutput output{out, &err, settings.format, settings.writeHeader, false};
    if (report) output.report = &*report;
    return output;
  }

  // Runs a search; a failed write of the hits ends it early and is reported
  // once the run is over (Finish).
  template <typename Search>
  void Searching(Search search) {
    try {
      search();
    } catch (const brisel::Error& error) {
      if (error.kind() != brisel::Error::Kind::kOutput) ExitWithFault(error.what());
    }
  }
};

// What a fault that ended the records adds: how far the hits were written.
std::string WithRecordsWritten(const brisel::Error& fault, std::uint64_t searched) {
  return std::string(fault.what()) +
         (searched == 0 ? "; no record was searched"
                        : "; hits up to record " + std::to_string(searched) + " were written");
}

// Returns the fault of a read that failed during the search, which the search
// took for the end of the input, or of a NUL byte in a line.
std::optional<std::string> RunScanSearch(Run& run, const brisel::MotifDatabase& motifs) {
  const RunSettings& settings = run.settings;
  UniqueFd fd = TextLines::Open(settings.sequenceDatabase.c_str());
  if (fd.get() < 0) {
    const int openError = errno;
    ExitWithFault("cannot open sequence file '" + settings.sequenceDatabase +
                  "': " + std::strerror(openError));
  }
  TextLines lines(std::move(fd), settings.sequenceDatabase);
  std::optional<std::string> fault;
  run.Searching([&] {
    if (settings.isFasta != 0) {
      FastaLineRecords records(lines);
      brisel::ScanRecords(motifs, records, run.options(), run.output());
      if (records.fault() != nullptr) fault = WithRecordsWritten(*records.fault(), records.count());
    } else {
      std::string sequence;
      lines.Next(sequence);
      if (const std::optional<InputError> nul = RawLineFault(lines, sequence)) {
        if (settings.writeHeader) run.out.Write(OutputHeaderLine(settings.format));
        fault = WithRecordsWritten(*nul, 0);
        return;
      }
      brisel::ScanSequence(motifs, sequence, run.options(), run.output());
    }
  });
  if (fault) return fault;
  if (lines.error()) {
    return "cannot read sequence file '" + settings.sequenceDatabase + "': " + *lines.error();
  }
  return std::nullopt;
}

void RunIndexedSearch(Run& run, const brisel::MotifDatabase& motifs) {
  const brisel::SequenceDatabase sequences = OpenSequenceDatabase(run.settings);
  run.Searching([&] { brisel::SearchDatabase(motifs, sequences, run.options(), run.output()); });
}

// The direct search of the records of a FASTA file. Returns the fault that
// ended the records early, with how far the hits were written.
// With --translate, the translated search of its nucleotide records.
std::optional<std::string> RunDirectSearch(Run& run, const brisel::MotifDatabase& motifs) {
  const RunSettings& settings = run.settings;
  std::optional<FastaFileRecords> records;
  try {
    records.emplace(*settings.fastaFile,
                    settings.translate ? RecordLetters::kNucleotides : RecordLetters::kResidues);
  } catch (const brisel::Error& error) {
    ExitWithFault(error.what());
  }
  run.Searching([&] {
    if (settings.translate) {
      brisel::SearchTranslatedRecords(motifs, *records, settings.translation, run.options(),
                                      run.output());
    } else {
      brisel::SearchRecords(motifs, *records, run.options(), run.output());
    }
  });
  if (records->fault() == nullptr) return std::nullopt;
  return WithRecordsWritten(*records->fault(), records->count());
}

// What the report says was searched: the motifs and sequences, a line each.
std::vector<std::string> ReportInputs(const RunSettings& settings) {
  const auto file = [](const std::string& path) {
    return path == "-" ? std::string("standard input") : path;
  };
  std::vector<std::string> lines;
  if (settings.patternFile) {
    lines.push_back("motifs: " + file(*settings.patternFile) + " (PROSITE patterns)");
  } else {
    lines.push_back(
        "motifs: " +
        DatabaseRootPath(settings.useLocalPath, DatabaseKind::kMotifs, settings.motifDatabase) +
        " (motif database)");
  }
  if (settings.fastaFile) {
    lines.push_back("sequences: " + file(*settings.fastaFile) +
                    (settings.translate ? " (nucleotide FASTA)" : " (FASTA)"));
  } else if (settings.searchByBruteForce != 0) {
    lines.push_back(
        "sequences: " + settings.sequenceDatabase +
        (settings.isFasta != 0 ? " (FASTA, a line per sequence)" : " (one raw sequence)"));
  } else {
    lines.push_back("sequences: " +
                    DatabaseRootPath(settings.useLocalPath, DatabaseKind::kSequences,
                                     settings.sequenceDatabase) +
                    " (sequence database)");
  }
  return lines;
}

// A frame set as --frames takes it: all, forward, reverse, or a list.
std::string FramesWord(const brisel::FrameSet& frames) {
  if (frames == brisel::FrameSet::All()) return "all";
  if (frames == brisel::FrameSet::Forward()) return "forward";
  if (frames == brisel::FrameSet::Reverse()) return "reverse";
  std::string word;
  for (const brisel::ReadingFrame frame : frames.frames())
    word += (word.empty() ? "" : ",") + std::to_string(frame.number());
  return word;
}

// And how: the search and its cut-off (the same report for every -j and
// format, which it leaves out).
std::vector<std::string> ReportOptions(const RunSettings& settings) {
  std::string search = "indexed search";
  if (settings.fastaFile && settings.translate) {
    search = "translated search (--translate, --table " +
             std::to_string(settings.translation.table) + ", --frames " +
             FramesWord(settings.translation.frames) + ", --min-length " +
             std::to_string(settings.translation.minLength) + ")";
  } else if (settings.fastaFile) {
    search = "direct search (--fasta)";
  } else if (settings.searchByBruteForce != 0) {
    search = settings.isFasta != 0 ? "scan search (-b -f)" : "scan search (-b)";
  }
  return {search, "-e " + std::to_string(settings.cutoffExponent)};
}

// Writes the report of the search that `run` collected; a fault ends the run.
void WriteSearchReport(Run& run, const brisel::MotifDatabase& motifs) {
  const std::vector<std::string> inputs = ReportInputs(run.settings);
  const std::vector<std::string> options = ReportOptions(run.settings);
  const std::vector<std::string_view> inputViews(inputs.begin(), inputs.end());
  const std::vector<std::string_view> optionViews(options.begin(), options.end());
  ReportContext context;
  context.version = BRISEL_VERSION;
  context.nucleotides = run.settings.translate;
  context.inputs = inputViews;
  context.options = optionViews;
  const ReportMotifs shown = ReportMotifsOf(motifs);
  run.report->RenumberMotifs(shown.of);
  try {
    reportFile->Commit(*run.report, shown.shown, context);
  } catch (const brisel::Error& error) {
    ExitWithFault(error.what());
  }
}

// Output to files and pipes goes through large buffers: a search writes a
// progress line per sequence and may write millions of hit lines, and an
// unbuffered or 4 KiB-buffered stream would make a system call for every few
// of them. The bytes of each stream stay the same. A terminal keeps its usual
// buffering, so that progress shows as it happens.
void UseLargeOutputBuffers() {
  static char outBuffer[1 << 20];
  static char errBuffer[1 << 16];
  if (::isatty(STDOUT_FILENO) == 0) std::setvbuf(stdout, outBuffer, _IOFBF, sizeof outBuffer);
  if (::isatty(STDERR_FILENO) == 0) std::setvbuf(stderr, errBuffer, _IOFBF, sizeof errBuffer);
}

// Writes the answer to --help or --version and reports how the write went.
int Answer(std::string_view text) {
  FileStream out(stdout);
  out.Write(text);
  return FinishOutput(out);
}

}  // namespace

int main(int argc, char* argv[]) {
  // A closed pipe on standard output is a failed write like any other: it is
  // reported and ends the run with status 1, rather than a silent death by
  // SIGPIPE in whichever thread happens to write.
  std::signal(SIGPIPE, SIG_IGN);

  switch (FindInfoRequest(argc, argv)) {
    case InfoRequest::kHelp:
      return Answer(UsageText());
    case InfoRequest::kVersion:
      return Answer("brisel-search " BRISEL_VERSION "\n");
    case InfoRequest::kNone:
      break;
  }

  UseLargeOutputBuffers();
  const RunSettings settings = ReadOptions(argc, argv);
  if (!settings.usageFault.empty()) ExitWithUsageFault(settings.usageFault);

  Run run{settings};
  if (settings.reportFile) {
    try {
      reportFile.emplace(*settings.reportFile);
    } catch (const brisel::Error& error) {
      ExitWithFault(error.what());
    }
    run.report.emplace();
  }
  std::optional<std::string> readFault;
  {
    const brisel::MotifDatabase motifs = settings.patternFile
                                             ? BuildMotifDatabase(*settings.patternFile, run.err)
                                             : OpenMotifDatabase(settings);
    std::fputc('\n', stderr);
    if (settings.fastaFile) {
      readFault = RunDirectSearch(run, motifs);
    } else if (settings.searchByBruteForce != 0) {
      readFault = RunScanSearch(run, motifs);
    } else {
      RunIndexedSearch(run, motifs);
    }
    std::fputc('\n', stderr);
    if (readFault) ExitWithFault(*readFault);
    if (run.report) {
      // The report of a search whose hits were all written, and only then.
      if (const int status = FinishOutput(run.out); status != 0) return status;
      WriteSearchReport(run, motifs);
    }
  }
  return FinishOutput(run.out);
}
