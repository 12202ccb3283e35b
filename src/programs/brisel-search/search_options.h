// SPDX-License-Identifier: MIT
// command_line.h: the options of brisel-search.
//
//   brisel-search [-b] [-f] [-l] [-e N] [-j N] [-m NAME] [-s NAME]
//                 [--fasta FILE] [--patterns FILE]
//                 [-F FORMAT | --format FORMAT] [--no-header]
//   brisel-search --help | --version
//
// The options are read by the platform's getopt_long with "be:fF:j:lm:s:" and
// the long options --fasta, --patterns, --format (-F) and --no-header, so
// flags may be grouped, an argument may follow its option or stand as the next
// word, a long option may be shortened to any prefix that no other begins
// with, options are recognised anywhere, "--" ends them, and a bad option gets
// getopt's own diagnostic and is skipped (the run goes on). --help and
// --version are looked for first, before getopt sees them (it would read
// "--help" as "-e lp").
// A thread count that is not a positive integer, an unknown output format, and
// options that contradict each other (--fasta with -b or -s, --patterns with
// -m, both reading standard input) are usage faults: the run ends before
// anything is mapped, with status 2.
#ifndef BRISEL_CLI_COMMAND_LINE_H
#define BRISEL_CLI_COMMAND_LINE_H

#include <cstdint>
#include <optional>
#include <string>

#include "api/search.h"
#include "output/output_formats.h"

namespace brisel {

struct RunSettings {
  int searchByBruteForce = 0;
  int isFasta = 0;
  int useLocalPath = 0;
  double cutoffExpectation = 0.01;  // set to pow(10, -2) when the options are read
  std::string motifDatabase = "tallowmere";
  std::string sequenceDatabase = "sprot";
  bool motifDatabaseNamed = false;            // -m was given
  bool sequenceDatabaseNamed = false;         // -s was given
  std::optional<std::string> fastaFile;       // --fasta: the direct search of this FASTA file
  std::optional<std::string> patternFile;     // --patterns: motifs built from this file
  unsigned threadCount = 0;                   // -j N; 0: as many as the CPUs the process may run on
  OutputFormat format = OutputFormat::kPipe;  // -F, --format
  bool writeHeader = true;                    // --no-header clears it
  std::string usageFault;  // set, and the reading stopped, by an invalid option value
};

enum class InfoRequest { kNone, kHelp, kVersion };

// The first --help or --version that stands as an option word (not as the
// argument of an option) before any "--".
InfoRequest FindInfoRequest(int argc, char* const argv[]);

// Reads the options with getopt, in the order in which they appear.
RunSettings ReadOptions(int argc, char* argv[]);

// N of -e by strtol rules (leading white space, a sign, the longest run of
// digits; no digits gives 0), clamped to the range of a 32-bit signed integer.
std::int32_t ParseCutoffExponent(const char* word);

// N of -j: one or more decimal digits (nothing else, no sign) giving 1 to
// brisel::kMaxThreadCount; 0 for anything else.
unsigned ParseThreadCount(const char* word);

// The text of --help; the output formats' part comes from their table.
std::string UsageText();

}  // namespace brisel

#endif  // BRISEL_CLI_COMMAND_LINE_H
