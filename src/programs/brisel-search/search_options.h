// SPDX-License-Identifier: MIT
// search_options.h: the options of brisel-search, declared once.
//
//   brisel-search [-m NAME] [-s NAME] [--fasta FILE] [--patterns FILE] [-b] [-f]
//                 [-l] [-e N] [-j N] [-F FORMAT] [--no-header] [--report FILE]
//                 [--shard K] [--build ID]
//                 [--translate [--table N] [--frames LIST] [--min-length N]]
//   brisel-search --help | --version
//
// SearchOptionTable() holds one entry per option: its letter and long name,
// its argument, its default, what reading it does (and the check of its
// value), and the texts that --help and the manual page give for it. The
// getopt string, the long options, the usage text and the manual page's
// option list (write_manual_options) are all made from it.
//
// The options are read by the platform's getopt_long, so flags may be
// grouped, an argument may follow its option or stand as the next word, a
// long option may be shortened to any prefix that no other begins with,
// options are recognised anywhere, "--" ends them, and a bad option gets
// getopt's own diagnostic and is skipped (the run goes on). --help and
// --version are looked for first, before getopt sees them (it would read
// "--help" as "-e lp").
// A thread count that is not a positive integer, an unknown output format, and
// options that contradict each other (--fasta with -b or -s, --patterns with
// -m, both reading standard input, --shard or --build with --fasta or -b,
// --translate without --fasta, --table, --frames or --min-length without
// --translate), a --shard that is no whole number from 1, a --build that is not
// 16 hex digits, a genetic code that NCBI has not, a frame list that is not one
// and a negative length are usage faults: the run ends before
// anything is mapped, with status 2.
#ifndef BRISEL_PROGRAMS_SEARCH_OPTIONS_H
#define BRISEL_PROGRAMS_SEARCH_OPTIONS_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "api/search.h"
#include "output/output_formats.h"

namespace brisel {

inline constexpr std::string_view kDefaultMotifDatabase = "tallowmere";
inline constexpr std::string_view kDefaultSequenceDatabase = "sprot";

struct RunSettings {
  int searchByBruteForce = 0;
  int isFasta = 0;
  int useLocalPath = 0;
  double cutoffExpectation = SearchOptions{}.cutoffExpectation;
  std::int32_t cutoffExponent = kDefaultCutoffExponent;  // N of -e N, as read
  std::string motifDatabase{kDefaultMotifDatabase};
  std::string sequenceDatabase{kDefaultSequenceDatabase};
  bool motifDatabaseNamed = false;                 // -m was given
  bool sequenceDatabaseNamed = false;              // -s was given
  std::optional<std::string> fastaFile;            // --fasta: the direct search of this FASTA file
  std::optional<std::string> patternFile;          // --patterns: motifs built from this file
  unsigned threadCount = SearchOptions{}.threads;  // -j N; 0: one per CPU
  OutputFormat format = OutputFormat::kPipe;       // -F, --format
  bool writeHeader = true;                         // --no-header clears it
  std::optional<std::string> reportFile;           // --report: the HTML report's path
  std::uint64_t shard = 0;                         // --shard K: only shard K of the set; 0: all
  std::optional<std::uint64_t> build;              // --build ID: the set must be this build
  bool translate = false;                          // --translate: nucleotide records
  TranslationOptions translation;                  // --table, --frames, --min-length
  std::string translationOption;                   // the first of those three given, as written
  std::string usageFault;  // set, and the reading stopped, by an invalid option value
};

// One option.
struct SearchOption {
  char letter;                // 0: a long option only
  std::string_view name;      // the long name, without "--"; empty: a letter only
  std::string_view argument;  // the argument's name ("N", "FILE"); empty: a flag
  // The default as --help and the manual page show it; null: none shown.
  std::string (*defaultText)();
  // --help's description: lines of the help column, '\n' between them;
  // "{default}" stands for the default, "{formats}" for the lines that the
  // output formats' table gives.
  std::string_view help;
  // The manual page's paragraph (roff), "{default}" as above.
  std::string_view manual;
  // Reads the option (`value` null for a flag) into the settings; returns a
  // usage fault, or nothing.
  std::string (*apply)(RunSettings& settings, const char* value);
};

std::span<const SearchOption> SearchOptionTable();

enum class InfoRequest { kNone, kHelp, kVersion };

// The first --help or --version that stands as an option word (not as the
// argument of an option) before any "--".
InfoRequest FindInfoRequest(int argc, char* const argv[]);

// Reads the options with getopt, in the order in which they appear.
RunSettings ReadOptions(int argc, char* argv[]);

// N of -e by strtol rules (leading white space, a sign, the longest run of
// digits; no digits gives 0), clamped to the range of a 32-bit signed integer.
std::int32_t ParseCutoffExponent(const char* word);

// The text of --help.
std::string UsageText();

// The manual page's option list (roff: one .TP paragraph per option).
std::string ManualOptionList();

}  // namespace brisel

#endif  // BRISEL_PROGRAMS_SEARCH_OPTIONS_H
