// SPDX-License-Identifier: MIT
// search_options.cpp: the option table of brisel-search, and what is made
// from it: the getopt tables, the reading, --help and the manual page's list.
#include "search_options.h"

#include <getopt.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "api/databases.h"
#include "base/error.h"
#include "option_text/option_text.h"
#include "statistics/hit_statistics.h"

namespace brisel {

namespace {

std::string Applied() {
  return {};
}

std::string DefaultCutoff() {
  return std::to_string(kDefaultCutoffExponent);
}

constexpr SearchOption kOptions[] = {
    {'m',
     {},
     "NAME",
     [] { return std::string(kDefaultMotifDatabase); },
     "motif database (default {default})",
     "The motif database (default\n.BR {default} ).\n",
     [](RunSettings& s, const char* value) {
       s.motifDatabase = value;
       s.motifDatabaseNamed = true;
       return Applied();
     }},
    {'s',
     {},
     "NAME",
     [] { return std::string(kDefaultSequenceDatabase); },
     "sequence database (default {default}); with -b, the sequence text file",
     "The sequence database (default\n.BR {default} );\nwith\n.BR \\-b ,\nthe path of the "
     "sequence text file.\n",
     [](RunSettings& s, const char* value) {
       s.sequenceDatabase = value;
       s.sequenceDatabaseNamed = true;
       return Applied();
     }},
    {0, "fasta", "FILE", nullptr,
     "search the FASTA file FILE directly, instead of a sequence\n"
     "database: records of any number of lines, plain or compressed\n"
     "(gzip, bzip2, xz, zstd), - for standard input; the output is that\n"
     "of the search of a database built from FILE by brisel-makedb",
     "Search the FASTA file\n.I FILE\ndirectly, instead of a sequence database: records of any "
     "number of lines and\nany line length, plain or compressed with gzip, bzip2, xz or zstd;\n"
     ".B \\-\nreads standard input. See DIRECT SEARCH.\n",
     [](RunSettings& s, const char* value) {
       s.fastaFile = value;
       return Applied();
     }},
    {0, "patterns", "FILE", nullptr,
     "take the motifs from FILE, a PROSITE data file or pattern list\n"
     "(plain or compressed), as brisel-makedb motifs builds them,\n"
     "instead of a motif database",
     "Take the motifs from\n.IR FILE ,\na PROSITE data file or pattern list (plain or "
     "compressed;\n.B \\-\nreads standard input), built in memory as\n.B brisel\\-makedb "
     "motifs\nbuilds them, instead of a motif database.\n",
     [](RunSettings& s, const char* value) {
       s.patternFile = value;
       return Applied();
     }},
    {'b',
     {},
     {},
     nullptr,
     "scan search: read the sequences from the text file named by -s",
     "Scan search: read the sequences from the text file named by\n.BR \\-s .\nWithout\n"
     ".BR \\-f ,\nthe file's first non-empty line is one raw sequence. The file may be a pipe,\n"
     "as in\n.BR \"\\-s <(zcat x.fa)\" ;\na directory is refused, and a read error ends the run "
     "with status 1 once the\nsequences read before it have been searched.\n",
     [](RunSettings& s, const char*) {
       s.searchByBruteForce = 1;
       return Applied();
     }},
    {'f',
     {},
     {},
     nullptr,
     "with -b, the file holds FASTA records, each sequence on one line:\n"
     "lines are read as name, sequence, name, ..., so a sequence\n"
     "wrapped over several lines is misread and hits are lost\n"
     "(for ordinary FASTA files, use --fasta)",
     "With\n.BR \\-b ,\nthe file holds FASTA records, each sequence on a single line: its lines "
     "are\nread as name, sequence, name, sequence, and so on. In an ordinary FASTA file,\nwhose "
     "sequences are wrapped over several lines, the second line of a record is\ntaken for the "
     "next record's name, most hits are lost, and the run still ends\nwith status 0: search such "
     "a file with\n.B \\-\\-fasta\ninstead.\n",
     [](RunSettings& s, const char*) {
       s.isFasta = 1;
       return Applied();
     }},
    {'l',
     {},
     {},
     nullptr,
     "NAME is the database's root path itself, not a name under the\ndata directory",
     "Each database\n.I NAME\nis the database's root path itself, relative to the working "
     "directory or\nabsolute, instead of a name under the data directories.\n",
     [](RunSettings& s, const char*) {
       s.useLocalPath = 1;
       return Applied();
     }},
    {'e',
     {},
     "N",
     DefaultCutoff,
     "stop trying a sequence's motifs once the expectation of random\n"
     "hits exceeds 10^N (default {default})",
     "Try a sequence's motifs until the expectation of random hits exceeds\n10^\\fIN\\fR "
     "(default {default}).\n",
     [](RunSettings& s, const char* value) {
       s.cutoffExponent = ParseCutoffExponent(value);
       s.cutoffExpectation = CutoffFromExponent(s.cutoffExponent);
       return Applied();
     }},
    {'j',
     {},
     "N",
     nullptr,
     "search with N threads (default: one per CPU this process may\n"
     "run on); the output is the same for every N",
     "Search with\n.I N\nthreads (1 to 4096; default: one per CPU the process may run on). The "
     "output,\nprogress lines included, is byte for byte the same for every\n.IR N .\nAny other "
     "value ends the run before anything is searched, with one line on\nstandard error and exit "
     "status 2.\n",
     [](RunSettings& s, const char* value) {
       // One or more decimal digits, nothing else.
       std::int64_t number = 0;
       const char* at = value;
       for (; *at >= '0' && *at <= '9' && number <= kMaxThreadCount; ++at)
         number = number * 10 + (*at - '0');
       if (at == value || *at != '\0') number = -1;
       try {
         s.threadCount = CheckedThreadCount(number, value, "-j");
       } catch (const Error& error) {
         return std::string(error.what());
       }
       return Applied();
     }},
    {'F', "format", "FORMAT", nullptr, "{formats}",
     "Write the hits as\n.IR FORMAT :\n.B pipe\n(the default),\n.BR tsv ,\n.B gff3\nor\n.BR bed ;\n"
     "see OUTPUT. Any other name ends the run before anything is searched, with one\nline on "
     "standard "
     "error and exit status 2.\n",
     [](RunSettings& s, const char* value) {
       const auto format = ParseOutputFormat(value);
       if (!format) {
         return std::string("unknown output format '") + value + "' (--format takes " +
                OutputFormatNames(" or ") + ")";
       }
       s.format = *format;
       return Applied();
     }},
    {0,
     "no-header",
     {},
     nullptr,
     "leave out the header line of tsv and gff3 (to append the output\n"
     "of one search to another's)",
     "Leave out the header line of the tsv and gff3 formats, to append the output of\none search "
     "to another's (the shards of a database, say).\n",
     [](RunSettings& s, const char*) {
       s.writeHeader = false;
       return Applied();
     }},
    {0, "report", "FILE", nullptr,
     "also write an HTML report of the search to FILE: a summary,\n"
     "a hit map per sequence and a table of the hits, in one page\n"
     "that reads offline; the output is the same as without it",
     "Also write an HTML report of the search to\n.IR FILE :\none page that reads offline, "
     "with a summary, a hit map per sequence with hits and\na table of the hits (see REPORT). "
     "Standard output and standard error are byte for\nbyte those of the same search without "
     "it, and the report is the same for every\n.BR \\-j .\nIt is written under a temporary "
     "name beside\n.I FILE\nand renamed onto it once complete: a run that fails leaves\n.I "
     "FILE\nas it was. A report that cannot be written (a missing directory, a full disk, a\n"
     "path that is not a regular file) ends the run with one line naming it and exit\nstatus 1.\n",
     [](RunSettings& s, const char* value) {
       s.reportFile = value;
       return Applied();
     }},
    {0, "shard", "K", nullptr,
     "search shard K (from 1) of the shard set that -s names (its\n"
     "manifest ROOT.shards), its sequences numbered as in the whole set",
     "Search only shard\n.I K\n(from 1) of the shard set that\n.B \\-s\nnames (SHARD SETS), "
     "mapped, and the other shards' stats files read, together with the set's\nmanifest as the "
     "whole set is mapped; its progress lines number "
     "its sequences as the search of the whole set does.\nWith\n.B \\-\\-no\\-header\n"
     "for every shard but the first, the outputs of shards 1 to\n.IR N ,\njoined in order, "
     "are byte for byte that of the search of the whole set.\n",
     [](RunSettings& s, const char* value) {
       std::uint64_t number = 0;
       const char* at = value;
       for (; *at >= '0' && *at <= '9' && number < (std::uint64_t{1} << 60); ++at)
         number = number * 10 + static_cast<std::uint64_t>(*at - '0');
       if (at == value || *at != '\0' || number == 0) {
         return "invalid shard '" + std::string(value) +
                "' (--shard takes a shard's number in its set, from 1)";
       }
       s.shard = number;
       return Applied();
     }},
    {0, "build", "ID", nullptr,
     "search the shard set that -s names only if its manifest names\n"
     "build ID (16 hex digits, its #build line): a set rebuilt since\n"
     "ID was read is refused",
     "Search the shard set that\n.B \\-s\nnames only if its manifest names build\n.I ID\n"
     "(16 hex digits, the value of its \"#build\" line), at the moment its shards\nare mapped; "
     "a set rebuilt since is refused with status 1. A loop that searches\nthe shards one "
     "process each gives every one the build it read before the\nfirst, and so never joins "
     "shards of two builds (SHARD SETS).\n",
     [](RunSettings& s, const char* value) {
       s.build = ParseBuildIdentity(value);
       if (!s.build) {
         return "invalid build '" + std::string(value) + "' (--build takes 16 hex digits)";
       }
       return Applied();
     }},
    {0,
     "translate",
     {},
     nullptr,
     "read the records of --fasta as nucleotide sequences (DNA or RNA,\n"
     "IUPAC letters) and search the stretches between stop codons of\n"
     "their six frames; hits are placed on the nucleotide record",
     "Read the records of\n.B \\-\\-fasta\nas nucleotide sequences (DNA or RNA, IUPAC letters, "
     "either case) "
     "and search\ntheir translation: each stretch between stop codons of each frame is "
     "searched\nas "
     "a protein sequence, and each hit is placed on the nucleotide record with\nits strand and "
     "frame. "
     "See TRANSLATED SEARCH.\n",
     [](RunSettings& s, const char*) {
       s.translate = true;
       return Applied();
     }},
    {0, "table", "N", [] { return std::to_string(TranslationOptions{}.table); },
     "with --translate: NCBI's genetic code N (default {default};\n11 for bacteria, archaea and "
     "plastids)",
     "With\n.BR \\-\\-translate :\nthe NCBI translation table (genetic code)\n.I N\n(default "
     "{default}; 11 for bacteria, archaea and plastids): one of 1 to 6, 9 to 16\nand 21 to 33.\n",
     [](RunSettings& s, const char* value) {
       try {
         s.translation.table = CheckedGeneticCode(value, "--table");
       } catch (const Error& error) {
         return std::string(error.what());
       }
       if (s.translationOption.empty()) s.translationOption = "--table";
       return Applied();
     }},
    {0, "frames", "LIST", [] { return std::string("all"); },
     "with --translate: the frames searched: all (the default), forward,\n"
     "reverse, or a list such as 1,-2 (frames +1 to +3 and -1 to -3)",
     "With\n.BR \\-\\-translate :\nthe frames searched:\n.B all\n(the default),\n.B forward\n"
     "(+1, +2, +3),\n.B reverse\n(\\-1, \\-2, \\-3), or a comma-separated list such as\n"
     ".BR 1,\\-2 .\nThey are searched in the order +1, +2, +3, \\-1, \\-2, \\-3 whatever the order "
     "of the list.\n",
     [](RunSettings& s, const char* value) {
       try {
         s.translation.frames = CheckedFrames(value, "--frames");
       } catch (const Error& error) {
         return std::string(error.what());
       }
       if (s.translationOption.empty()) s.translationOption = "--frames";
       return Applied();
     }},
    {0, "min-length", "N", [] { return std::to_string(TranslationOptions{}.minLength); },
     "with --translate: leave out stretches between stops shorter than N\n"
     "amino acids (default {default})",
     "With\n.BR \\-\\-translate :\nleave out the stretches between stop codons shorter than\n.I N\n"
     "amino acids (default {default}).\n",
     [](RunSettings& s, const char* value) {
       // One or more decimal digits, nothing else.
       std::int64_t number = 0;
       const char* at = value;
       for (; *at >= '0' && *at <= '9' && number <= (std::int64_t{1} << 40); ++at)
         number = number * 10 + (*at - '0');
       if (at == value || *at != '\0') number = -1;
       try {
         s.translation.minLength = CheckedMinLength(number, value, "--min-length");
       } catch (const Error& error) {
         return std::string(error.what());
       }
       if (s.translationOption.empty()) s.translationOption = "--min-length";
       return Applied();
     }},
    // Answered before the other options are read (FindInfoRequest).
    {0, "help", {}, nullptr, "print this help and exit", "Print the usage and exit.\n", nullptr},
    {0,
     "version",
     {},
     nullptr,
     "print the version and exit",
     "Print the version and exit.\n",
     nullptr},
};

// The value getopt_long gives a long option without a letter: 256 and up,
// by its place in the table.
constexpr int kLongOnlyBase = 256;

int KeyOf(const SearchOption& option, std::size_t index) {
  return option.letter != 0 ? option.letter : kLongOnlyBase + static_cast<int>(index);
}

// What getopt_long reads: the option string and the long options of every
// option that the reading applies.
struct GetoptTables {
  std::string letters;
  std::vector<option> longOptions;

  GetoptTables() {
    for (std::size_t i = 0; i < std::size(kOptions); ++i) {
      const SearchOption& entry = kOptions[i];
      if (entry.apply == nullptr) continue;
      const bool takesArgument = !entry.argument.empty();
      if (entry.letter != 0) {
        letters += entry.letter;
        if (takesArgument) letters += ':';
      }
      if (!entry.name.empty()) {
        longOptions.push_back({entry.name.data(), takesArgument ? required_argument : no_argument,
                               nullptr, KeyOf(entry, i)});
      }
    }
    longOptions.push_back({nullptr, 0, nullptr, 0});
  }
};

const GetoptTables& Tables() {
  static const GetoptTables tables;
  return tables;
}

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
  for (const option& candidate : Tables().longOptions) {
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

bool TakesArgument(char letter) {
  const std::string& letters = Tables().letters;
  const std::size_t at = letters.find(letter);
  return letter != ':' && at != std::string::npos && at + 1 < letters.size() &&
         letters[at + 1] == ':';
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
  if ((settings.shard != 0 || settings.build) &&
      (settings.fastaFile || settings.searchByBruteForce != 0)) {
    return std::string(settings.shard != 0 ? "--shard" : "--build") +
           " applies to a shard set that -s names, not to " +
           (settings.fastaFile ? "--fasta" : "-b");
  }
  if (settings.patternFile && settings.motifDatabaseNamed) {
    return "--patterns and -m both name the motifs: give one";
  }
  if (settings.fastaFile && settings.patternFile && *settings.fastaFile == "-" &&
      *settings.patternFile == "-") {
    return "--fasta and --patterns cannot both read standard input";
  }
  if (settings.translate && !settings.fastaFile) {
    return "--translate reads the nucleotide records of a FASTA file: give it with --fasta";
  }
  if (!settings.translate && !settings.translationOption.empty()) {
    return settings.translationOption + " applies to the translated search: give --translate too";
  }
  return {};
}

// `text` with "{default}" replaced by the option's default (`escape` applied).
std::string WithDefault(std::string_view text, const SearchOption& option,
                        std::string (*escape)(std::string_view)) {
  std::string out(text);
  const std::size_t at = out.find("{default}");
  if (at != std::string::npos && option.defaultText != nullptr) {
    out.replace(at, 9, escape(option.defaultText()));
  }
  return out;
}

std::string AsIs(std::string_view text) {
  return std::string(text);
}

// "-m NAME", "--fasta FILE", "-F, --format FORMAT", "--no-header".
std::string LabelOf(const SearchOption& option) {
  std::string label;
  if (option.letter != 0) label = std::string("-") + option.letter;
  if (!option.name.empty()) label += (label.empty() ? "--" : ", --") + std::string(option.name);
  if (!option.argument.empty()) label += " " + std::string(option.argument);
  return label;
}

// The help column starts here; a label that leaves no room before it stands
// on a line of its own.
constexpr std::size_t kHelpColumn = 12;

// The formats' part of --help: each format's name ends a line and its note
// begins the next.
std::string FormatHelpLines(std::string& examples) {
  std::string lines = "write the hits as FORMAT:";
  const auto entries = OutputFormats();
  for (std::size_t f = 0; f < entries.size(); ++f) {
    if (f > 0) {
      lines += f + 1 == entries.size() ? " or " : ", ";
      lines += entries[f].name;
      lines += '\n';
    } else {
      lines += ' ';
      lines += entries[f].name;
      lines += ' ';
    }
    lines += entries[f].usageNote;
    examples += '\n';
    examples += entries[f].example;
  }
  return lines;
}

}  // namespace

std::span<const SearchOption> SearchOptionTable() {
  return kOptions;
}

// The synopsis's order: the letter options without a long name, flags first
// and each group by letter, then the options with long names in table order.
std::vector<const SearchOption*> SynopsisOrder() {
  std::vector<const SearchOption*> order;
  for (const SearchOption& option : kOptions) {
    if (option.apply != nullptr) order.push_back(&option);
  }
  const auto rank = [](const SearchOption* option) {
    if (!option->name.empty()) return 2;
    return option->argument.empty() ? 0 : 1;
  };
  std::stable_sort(order.begin(), order.end(), [&](const SearchOption* a, const SearchOption* b) {
    if (rank(a) != rank(b)) return rank(a) < rank(b);
    return rank(a) < 2 && a->letter < b->letter;
  });
  return order;
}

std::string UsageText() {
  // The synopsis, wrapped before 80 columns.
  const std::string program = "Usage: brisel-search";
  std::string usage = program;
  std::size_t lineStart = 0;
  for (const SearchOption* option : SynopsisOrder()) {
    const std::string name =
        option->letter != 0 ? std::string("-") + option->letter : "--" + std::string(option->name);
    const std::string word =
        "[" + name + (option->argument.empty() ? "" : " " + std::string(option->argument)) + "]";
    if (usage.size() - lineStart + 1 + word.size() > 79) {
      usage += "\n" + std::string(program.size(), ' ');
      lineStart = usage.size() - program.size();
    }
    usage += " " + word;
  }
  usage += "\n";
  usage +=
      "Find the occurrences of sequence motifs in protein sequences, or in the\n"
      "translations of nucleotide sequences (--translate).\n\n";

  std::string examples;
  for (const SearchOption& option : kOptions) {
    const std::string help = option.help == "{formats}" ? FormatHelpLines(examples)
                                                        : WithDefault(option.help, option, AsIs);
    usage += HelpEntry(LabelOf(option), help, kHelpColumn);
  }
  return usage +
         "\n"
         "Without -l, motif databases are looked up under\n"
         "/usr/share/corvane/lumisca_brisel/brisels/ and sequence databases under\n"
         "/usr/share/corvane/lumisca_brisel/sequences/.\n"
         "\n"
         "Each hit is one line: expectation|probability of no random hit|specificity|\n"
         "motif record|matched segment|start|end (1-based, inclusive), after a line\n"
         "'>' and the sequence's name; with --translate, start and end count amino\n"
         "acids in the frame, and |frame|first base|last base on the record's forward\n"
         "strand follow.\n"
         "For example, with -F " +
         OutputFormatNames(" and ") + ":\n" + examples +
         "\n"
         "(each example row is one line, <TAB> a tab). In tsv, a tab, newline, carriage\n"
         "return or backslash inside a field is written as \\t, \\n, \\r or \\\\.\n";
}

std::string ManualOptionList() {
  std::string list;
  for (const SearchOption& option : kOptions) {
    list += ".TP\n";
    const std::string argument(option.argument);
    if (option.letter != 0 && !option.name.empty()) {
      list += ".BR \\-" + std::string(1, option.letter) + " \", \" \\-\\-" +
              RoffEscaped(option.name) + " \" \\fI" + argument + "\\fR\"\n";
    } else {
      const std::string name = option.letter != 0 ? "\\-" + std::string(1, option.letter)
                                                  : "\\-\\-" + RoffEscaped(option.name);
      list += argument.empty() ? ".B " + name + "\n" : ".BI " + name + " \" " + argument + "\"\n";
    }
    list += WithDefault(option.manual, option, RoffEscaped);
  }
  return list;
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
  return ClampedCutoffExponent(std::strtol(word, nullptr, 10));
}

RunSettings ReadOptions(int argc, char* argv[]) {
  RunSettings settings;
  const GetoptTables& tables = Tables();
  int key;
  while ((key = ::getopt_long(argc, argv, tables.letters.c_str(), tables.longOptions.data(),
                              nullptr)) != -1) {
    for (std::size_t i = 0; i < std::size(kOptions); ++i) {
      if (kOptions[i].apply == nullptr || KeyOf(kOptions[i], i) != key) continue;
      settings.usageFault = kOptions[i].apply(settings, optarg);
      if (!settings.usageFault.empty()) return settings;
      break;
    }
    // Anything else: getopt has written its diagnostic; the option is skipped.
  }
  settings.usageFault = ContradictionOf(settings);
  return settings;
}

}  // namespace brisel
