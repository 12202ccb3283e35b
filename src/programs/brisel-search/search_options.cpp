// SPDX-License-Identifier: MIT
// command_line.cpp: reads the options of brisel-search.
#include "search_options.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace brisel {

namespace {

constexpr char kOptionString[] = "be:fF:j:lm:s:";

// The long options without a letter.
constexpr int kNoHeaderOption = 256;
constexpr int kFastaOption = 257;
constexpr int kPatternsOption = 258;
constexpr option kLongOptions[] = {
    {"fasta", required_argument, nullptr, kFastaOption},
    {"patterns", required_argument, nullptr, kPatternsOption},
    {"format", required_argument, nullptr, 'F'},
    {"no-header", no_argument, nullptr, kNoHeaderOption},
    {nullptr, 0, nullptr, 0},
};

// The long option that getopt_long reads in `word`, "--" and a name without
// '=': the option of that name, else the only one whose name begins with it;
// null for none, or for an abbreviation that several options begin with
// (getopt_long reports it and takes no argument).
const option* LongOptionOf(std::string_view word) {
  if (word.size() < 3 || !word.starts_with("--") || word.find('=') != std::string_view::npos) {
    return nullptr;
  }
  const std::string_view name = word.substr(2);
  const option* match = nullptr;
  int matches = 0;
  for (const option& candidate : kLongOptions) {
    if (candidate.name == nullptr) break;
    const std::string_view candidateName = candidate.name;
    if (candidateName == name) return &candidate;
    if (candidateName.starts_with(name)) {
      match = &candidate;
      ++matches;
    }
  }
  return matches == 1 ? match : nullptr;
}

// The usage fault of options that contradict each other, if any.
std::string ContradictionOf(const RunSettings& settings) {
  if (settings.fastaFile) {
    if (settings.searchByBruteForce != 0) {
      return "--fasta and -b are two different searches: give one (--fasta reads FASTA files "
             "of any layout)";
    }
    if (settings.sequenceDatabaseNamed) return "--fasta and -s both name the sequences: give one";
  }
  if (settings.patternFile && settings.motifDatabaseNamed) {
    return "--patterns and -m both name the motifs: give one";
  }
  if (settings.fastaFile && settings.patternFile && *settings.fastaFile == "-" &&
      *settings.patternFile == "-") {
    return "--fasta and --patterns cannot both read standard input";
  }
  return {};
}

bool TakesArgument(char option) {
  const char* at = std::strchr(kOptionString, option);
  return option != ':' && at != nullptr && at[1] == ':';
}

}  // namespace

std::string UsageText() {
  // Each format's name ends a line and its note begins the next.
  constexpr std::string_view kIndent = "            ";
  std::string formats = std::string(kIndent) + "write the hits as FORMAT:";
  std::string examples;
  const auto entries = OutputFormats();
  for (std::size_t f = 0; f < entries.size(); ++f) {
    if (f > 0) {
      formats += f + 1 == entries.size() ? " or " : ", ";
      formats += entries[f].name;
      formats += '\n';
      formats += kIndent;
    } else {
      formats += ' ';
      formats += entries[f].name;
      formats += ' ';
    }
    formats += entries[f].usageNote;
    examples += '\n';
    examples += entries[f].example;
  }
  formats += '\n';
  return std::string(
             "Usage: brisel-search [-b] [-f] [-l] [-e N] [-j N] [-m NAME] [-s NAME]\n"
             "                     [--fasta FILE] [--patterns FILE] [-F FORMAT] [--no-header]\n"
             "Find the occurrences of sequence motifs in protein sequences.\n"
             "\n"
             "  -m NAME   motif database (default tallowmere)\n"
             "  -s NAME   sequence database (default sprot); with -b, the sequence text file\n"
             "  --fasta FILE\n"
             "            search the FASTA file FILE directly, instead of a sequence\n"
             "            database: records of any number of lines, plain or compressed\n"
             "            (gzip, bzip2, xz, zstd), - for standard input; the output is that\n"
             "            of the search of a database built from FILE by brisel-makedb\n"
             "  --patterns FILE\n"
             "            take the motifs from FILE, a PROSITE data file or pattern list\n"
             "            (plain or compressed), as brisel-makedb motifs builds them,\n"
             "            instead of a motif database\n"
             "  -b        scan search: read the sequences from the text file named by -s\n"
             "  -f        with -b, the file holds FASTA records, each sequence on one line:\n"
             "            lines are read as name, sequence, name, ..., so a sequence\n"
             "            wrapped over several lines is misread and hits are lost\n"
             "            (for ordinary FASTA files, use --fasta)\n"
             "  -l        NAME is the database's root path itself, not a name under the\n"
             "            data directory\n"
             "  -e N      stop trying a sequence's motifs once the expectation of random\n"
             "            hits exceeds 10^N (default -2)\n"
             "  -j N      search with N threads (default: one per CPU this process may\n"
             "            run on); the output is the same for every N\n"
             "  -F, --format FORMAT\n") +
         formats +
         "  --no-header\n"
         "            leave out the header line of tsv and gff3 (to append the output\n"
         "            of one search to another's)\n"
         "  --help    print this help and exit\n"
         "  --version print the version and exit\n"
         "\n"
         "Without -l, motif databases are looked up under\n"
         "/usr/share/corvane/lumisca_brisel/brisels/ and sequence databases under\n"
         "/usr/share/corvane/lumisca_brisel/sequences/.\n"
         "\n"
         "Each hit is one line: expectation|probability of no random hit|specificity|\n"
         "motif record|matched segment|start|end (1-based, inclusive), after a line\n"
         "'>' and the sequence's name. For example, with -F " +
         OutputFormatNames(" and ") + ":\n" + examples +
         "\n"
         "(each example row is one line, <TAB> a tab). In tsv, a tab, newline, carriage\n"
         "return or backslash inside a field is written as \\t, \\n, \\r or \\\\.\n";
}

InfoRequest FindInfoRequest(int argc, char* const argv[]) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view word = argv[i];
    if (word == "--") break;
    if (word == "--help") return InfoRequest::kHelp;
    if (word == "--version") return InfoRequest::kVersion;
    if (const option* longOption = LongOptionOf(word)) {
      if (longOption->has_arg == required_argument) ++i;
      continue;
    }
    if (word.size() < 2 || word[0] != '-' || word[1] == '-') continue;
    // An option word: its letters are flags until one takes an argument, which
    // is the rest of the word or, when nothing is left, the next word.
    for (std::size_t k = 1; k < word.size(); ++k) {
      if (!TakesArgument(word[k])) continue;
      if (k + 1 == word.size()) ++i;
      break;
    }
  }
  return InfoRequest::kNone;
}

std::int32_t ParseCutoffExponent(const char* word) {
  const long value = std::strtol(word, nullptr, 10);
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

unsigned ParseThreadCount(const char* word) {
  unsigned long value = 0;
  const char* at = word;
  for (; *at >= '0' && *at <= '9'; ++at) {
    value = value * 10 + static_cast<unsigned long>(*at - '0');
    if (value > brisel::kMaxThreadCount) return 0;
  }
  if (at == word || *at != '\0') return 0;
  return static_cast<unsigned>(value);
}

RunSettings ReadOptions(int argc, char* argv[]) {
  RunSettings settings;
  settings.cutoffExpectation = CutoffFromExponent(-2);
  int option;
  while ((option = ::getopt_long(argc, argv, kOptionString, kLongOptions, nullptr)) != -1) {
    switch (option) {
      case 'b':
        settings.searchByBruteForce = 1;
        break;
      case 'e':
        settings.cutoffExpectation = CutoffFromExponent(ParseCutoffExponent(optarg));
        break;
      case 'f':
        settings.isFasta = 1;
        break;
      case 'F':
        if (const auto format = ParseOutputFormat(optarg)) {
          settings.format = *format;
        } else {
          settings.usageFault = std::string("unknown output format '") + optarg +
                                "' (--format takes " + OutputFormatNames(" or ") + ")";
          return settings;
        }
        break;
      case kNoHeaderOption:
        settings.writeHeader = false;
        break;
      case kFastaOption:
        settings.fastaFile = optarg;
        break;
      case kPatternsOption:
        settings.patternFile = optarg;
        break;
      case 'j':
        settings.threadCount = ParseThreadCount(optarg);
        if (settings.threadCount == 0) {
          settings.usageFault = std::string("invalid thread count '") + optarg +
                                "' (-j takes a positive integer up to " +
                                std::to_string(brisel::kMaxThreadCount) + ")";
          return settings;
        }
        break;
      case 'l':
        settings.useLocalPath = 1;
        break;
      case 'm':
        settings.motifDatabase = optarg;
        settings.motifDatabaseNamed = true;
        break;
      case 's':
        settings.sequenceDatabase = optarg;
        settings.sequenceDatabaseNamed = true;
        break;
      default:  // getopt has written its diagnostic; the option is skipped
        break;
    }
  }
  settings.usageFault = ContradictionOf(settings);
  return settings;
}

}  // namespace brisel
