// SPDX-License-Identifier: MIT
// brisel-search.cpp: the entry point and run flow of brisel-search.
//
// One pass: read the options, map and check the motif database, run the indexed
// search over a mapped sequence database or the scan search over a text file,
// release what was mapped and exit. Hits go to standard output; standard error
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
// with what it read.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "brisel.h"
#include "cli/command_line.h"
#include "database/database_check.h"
#include "database/database_paths.h"
#include "database/database_replacement.h"
#include "indexed_search.h"
#include "output/message_text.h"
#include "database/motif_database.h"
#include "output/output_formats.h"
#include "scan_search.h"
#include "scanner.h"
#include "database/sequence_database.h"
#include "output/stream_writes.h"

namespace {

// A fault is written as one line whatever the user's text in it holds.
[[noreturn]] void ExitWithFault(const std::string& fault) {
  std::fprintf(stderr, "brisel-search: %s\n", EscapedText(fault).c_str());
  std::exit(1);
}

// A usage fault in the options: one line, status 2, nothing mapped or searched.
[[noreturn]] void ExitWithUsageFault(const std::string& fault) {
  std::fprintf(stderr, "brisel-search: %s\n", EscapedText(fault).c_str());
  std::exit(2);
}

void WriteOutputHeader(const RunSettings& settings) {
  const std::string_view header = OutputHeaderLine(settings.format);
  if (settings.writeHeader) WriteToStream(stdout, header.data(), header.size());
}

unsigned ThreadCount(const RunSettings& settings) {
  return settings.threadCount != 0 ? settings.threadCount : AvailableCpuCount();
}

void MapAndCheckMotifDatabase(const RunSettings& settings, motifMappedMemoryCDT& motifs) {
  const std::string root =
      DatabaseRootPath(settings.useLocalPath, DatabaseKind::kMotifs, settings.motifDatabase);
  const auto fault = MapUnreplaced(
      root,
      [&] {
        MapMotifBlocksToMemory(settings.useLocalPath, &motifs, settings.motifDatabase.c_str());
      },
      [&] {
        UnmapMotifBlocksFromMemory(&motifs);
        motifs = {};
      });
  if (fault) ExitWithFault(*fault);
  if (auto fault = CheckMotifDatabase(motifs, root)) ExitWithFault(*fault);
}

// Returns the fault of a read that failed during the search, which the search
// took for the end of the input.
std::optional<std::string> RunScanSearch(const RunSettings& settings,
                                         motifMappedMemoryCDT& motifs) {
  const ScannerPtr scanner(NewScannerFromFilename(settings.sequenceDatabase.c_str(), "\n", 1));
  if (!scanner) {
    const int openError = errno;
    ExitWithFault("cannot open sequence file '" + settings.sequenceDatabase +
                  "': " + std::strerror(openError));
  }
  std::uint32_t charToBitMap[kCharToBitMapLength];
  InitializeCharToBitMap(charToBitMap, kCharToBitMapLength);
  WriteOutputHeader(settings);
  if (settings.isFasta != 0) {
    RunSearchOnFastaSequences(scanner.get(), charToBitMap, &motifs, settings.cutoffExpectation,
                              ThreadCount(settings), settings.format);
  } else {
    RunSearchOnSequence(scanner.get(), charToBitMap, &motifs, settings.cutoffExpectation,
                        settings.format);
  }
  if (const int readError = ScannerReadError(scanner.get())) {
    return "cannot read sequence file '" + settings.sequenceDatabase +
           "': " + std::strerror(readError);
  }
  return std::nullopt;
}

void RunIndexedSearch(const RunSettings& settings, motifMappedMemoryCDT& motifs) {
  sequenceMappedMemoryCDT sequences{};
  const std::string root =
      DatabaseRootPath(settings.useLocalPath, DatabaseKind::kSequences, settings.sequenceDatabase);
  const auto fault = MapUnreplaced(
      root,
      [&] {
        MapSequenceBlocksToMemory(settings.useLocalPath, &sequences,
                                  settings.sequenceDatabase.c_str());
      },
      [&] {
        UnmapSequenceBlocksFromMemory(&sequences);
        sequences = {};
      });
  if (fault) ExitWithFault(*fault);
  if (auto fault = CheckSequenceDatabase(sequences, root)) ExitWithFault(*fault);
  WriteOutputHeader(settings);
  SmartSearch(&motifs, &sequences, settings.cutoffExpectation, ThreadCount(settings),
              settings.format);
  UnmapSequenceBlocksFromMemory(&sequences);
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

// Standard output is flushed and checked before the run reports success, so
// that a full disk or a closed file is not reported as a completed search. The
// cause named is that of the first write that failed, during the search or here.
int FinishOutput() {
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
    const int writeError = FirstWriteError() != 0 ? FirstWriteError() : errno;
    std::fprintf(stderr, "brisel-search: cannot write standard output: %s\n",
                 writeError != 0 ? std::strerror(writeError) : "write error");
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
  // A closed pipe on standard output is a failed write like any other: it is
  // reported and ends the run with status 1, rather than a silent death by
  // SIGPIPE in whichever thread happens to write.
  std::signal(SIGPIPE, SIG_IGN);

  switch (FindInfoRequest(argc, argv)) {
    case InfoRequest::kHelp:
      std::fputs(kUsageText, stdout);
      return FinishOutput();
    case InfoRequest::kVersion:
      std::fputs("brisel-search " BRISEL_VERSION "\n", stdout);
      return FinishOutput();
    case InfoRequest::kNone:
      break;
  }

  UseLargeOutputBuffers();
  const RunSettings settings = ReadOptions(argc, argv);
  if (!settings.usageFault.empty()) ExitWithUsageFault(settings.usageFault);

  motifMappedMemoryCDT motifs{};
  MapAndCheckMotifDatabase(settings, motifs);
  std::fputc('\n', stderr);

  std::optional<std::string> readFault;
  if (settings.searchByBruteForce != 0) {
    readFault = RunScanSearch(settings, motifs);
  } else {
    RunIndexedSearch(settings, motifs);
  }

  std::fputc('\n', stderr);
  if (readFault) ExitWithFault(*readFault);
  UnmapMotifBlocksFromMemory(&motifs);
  return FinishOutput();
}
