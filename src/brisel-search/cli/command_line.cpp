// SPDX-License-Identifier: MIT
// command_line.cpp: reads the options of brisel-search.
#include "cli/command_line.h"

#include <getopt.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

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

const char kUsageText[] =
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
    "  -F, --format FORMAT\n"
    "            write the hits as FORMAT: pipe (the default, shown below), tsv\n"
    "            (a '#' header line, then one tab-separated row per hit) or gff3\n"
    "            (GFF3 features of type polypeptide_motif)\n"
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
    "'>' and the sequence's name. For example, with -F pipe, tsv and gff3:\n"
    "\n"
    "  >OPSD_HUMAN P08100 Rhodopsin (Opsin-2)\n"
    "  3.71e-05|1.000|1.112e-07|PS00238 OPSIN|IPAFFAKSAAIYNPVIY|290|306\n"
    "\n"
    "  #name<TAB>start<TAB>end<TAB>record<TAB>segment<TAB>specificity<TAB>expectation<TAB>\n"
    "  p_no_random_hit\n"
    "  OPSD_HUMAN P08100 Rhodopsin (Opsin-2)<TAB>290<TAB>306<TAB>PS00238 OPSIN<TAB>\n"
    "  IPAFFAKSAAIYNPVIY<TAB>1.112e-07<TAB>3.71e-05<TAB>1.000\n"
    "\n"
    "  ##gff-version 3\n"
    "  OPSD_HUMAN<TAB>brisel<TAB>polypeptide_motif<TAB>290<TAB>306<TAB>3.71e-05<TAB>.<TAB>.<TAB>\n"
    "  Name=PS00238;Note=PS00238 OPSIN;specificity=1.112e-07;segment=IPAFFAKSAAIYNPVIY;\n"
    "  p_no_random_hit=1.000\n"
    "\n"
    "(each example row is one line, <TAB> a tab). In tsv, a tab, newline, carriage\n"
    "return or backslash inside a field is written as \\t, \\n, \\r or \\\\.\n";

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
    if (value > kMaxThreadCount) return 0;
  }
  if (at == word || *at != '\0') return 0;
  return static_cast<unsigned>(value);
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

double CutoffFromExponent(std::int32_t exponent) {
  return std::pow(10.0, static_cast<double>(exponent));
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
                                "' (--format takes pipe, tsv or gff3)";
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
                                std::to_string(kMaxThreadCount) + ")";
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
