// SPDX-License-Identifier: MIT
// command_line.cpp: reads the options of brisel-search.
#include "cli/command_line.h"

#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

constexpr char kOptionString[] = "be:fF:j:lm:s:";

constexpr int kNoHeaderOption = 256;  // --no-header has no letter
constexpr option kLongOptions[] = {
    {"format", required_argument, nullptr, 'F'},
    {"no-header", no_argument, nullptr, kNoHeaderOption},
    {nullptr, 0, nullptr, 0},
};

// A word that getopt_long reads as --format without '=': the whole name or an
// abbreviation of it. Its argument is the next word.
bool IsFormatWordWithoutArgument(std::string_view word) {
  constexpr std::string_view kFormat = "--format";
  return word.size() >= 3 && word.size() <= kFormat.size() && kFormat.starts_with(word);
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
             "                     [-F FORMAT] [--no-header]\n"
             "Find the occurrences of sequence motifs in protein sequences.\n"
             "\n"
             "  -m NAME   motif database (default tallowmere)\n"
             "  -s NAME   sequence database (default sprot); with -b, the sequence text file\n"
             "  -b        scan search: read the sequences from the text file named by -s\n"
             "  -f        with -b, the file holds FASTA records, each sequence on one line\n"
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
    if (IsFormatWordWithoutArgument(word)) {
      ++i;
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
        break;
      case 's':
        settings.sequenceDatabase = optarg;
        break;
      default:  // getopt has written its diagnostic; the option is skipped
        break;
    }
  }
  return settings;
}
