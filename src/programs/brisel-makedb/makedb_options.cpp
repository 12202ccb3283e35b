// SPDX-License-Identifier: MIT
// makedb_options.cpp: the command and option tables of brisel-makedb, and what
// is made from them: the reading, --help and the manual page's option list.
#include "makedb_options.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string_view>

#include "option_text/option_text.h"
#include "staging/build_error.h"

namespace brisel {

namespace {

// A whole number of at least 1, with an optional decimal suffix when
// `suffixes` is set. Throws BuildError naming the option.
std::uint64_t ParseCount(const std::string& option, const std::string& text, bool suffixes) {
  const std::string what = suffixes ? "a number of residues (e.g. 500M)" : "a whole number";
  const auto bad = [&] {
    return BuildError(option + " takes " + what + " of at least 1, not '" + text + "'");
  };
  std::uint64_t value = 0;
  std::size_t i = 0;
  constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    const auto digit = static_cast<std::uint64_t>(text[i] - '0');
    if (value > (kMax - digit) / 10) throw bad();
    value = value * 10 + digit;
  }
  if (i == 0) throw bad();
  if (i < text.size()) {
    std::uint64_t scale = 0;
    if (suffixes && i + 1 == text.size()) {
      switch (text[i]) {
        case 'K':
        case 'k':
          scale = 1000;
          break;
        case 'M':
        case 'm':
          scale = 1000000;
          break;
        case 'G':
        case 'g':
          scale = 1000000000;
          break;
      }
    }
    if (scale == 0 || value > kMax / scale) throw bad();
    value *= scale;
  }
  if (value == 0) throw bad();
  return value;
}

// The help column of --help.
constexpr std::size_t kHelpColumn = 16;

constexpr MakedbCommandEntry kCommands[] = {
    {MakedbCommand::kSequences, "sequences", "[-q] [--shards N | --shard-size SIZE] INPUT ROOT",
     "INPUT is FASTA; builds a sequence database"},
    {MakedbCommand::kSplit, "split", "[-q] --shards N | --shard-size SIZE INPUT PREFIX",
     "writes the records of each shard that sequences would build\n"
     "with the same options as a plain FASTA file, PREFIX.1.fasta,\n"
     "PREFIX.2.fasta, ...; sequences PREFIX.K.fasta ROOT.K then\n"
     "builds shard K byte for byte, so the shards can be built\n"
     "at the same time"},
    {MakedbCommand::kManifest, "manifest", "[-q] --shards N ROOT",
     "writes ROOT.shards, the manifest of the shards ROOT.1 to\n"
     "ROOT.N built on their own (from split's files), with the\n"
     "build identity of their records"},
    {MakedbCommand::kMotifs, "motifs", "[-q] [--keep-order] INPUT ROOT",
     "INPUT is a PROSITE data file or a list of PROSITE patterns, one\n"
     "per line followed by its record text; builds a motif database"},
};

constexpr MakedbOption kOptions[] = {
    {"-q",
     "--quiet",
     {},
     true,
     true,
     "no progress line and no summary",
     "No progress line and no summary line.\n",
     [](MakedbOptions& options, const std::string&, const std::string&) { options.quiet = true; }},
    {"--keep-order",
     {},
     {},
     true,
     false,
     "keep the motifs in input order instead of most specific first",
     "Keep the motifs in input order.\n",
     [](MakedbOptions& options, const std::string&, const std::string&) {
       options.keepOrder = true;
     }},
    {"--shards",
     {},
     "N",
     false,
     true,
     "split the sequences, in input order, into N databases of about\n"
     "equal residue counts, ROOT.1 to ROOT.N, listed in ROOT.shards",
     "Split the sequences into\n.I N\nshards of about equal residue counts: shard\n.I k\n"
     "ends with the first record at whose end the residues so far reach\n.IR k / N\nof the total "
     "(earlier only when every remaining record must open a shard of its\nown). More shards "
     "than records is an error, and so is a shard past the limits\nof one database (give more "
     "shards).\n",
     [](MakedbOptions& options, const std::string& option, const std::string& value) {
       options.shards = ParseCount(option, value, false);
     }},
    {"--shard-size",
     {},
     "SIZE",
     false,
     true,
     "the same, each shard holding at most SIZE residues (suffixes\n"
     "K, M, G: thousands, millions, billions)",
     "Split the sequences into as many shards as needed, each holding at most\n.I SIZE\n"
     "residues: a shard takes records while they fit, and also ends before it would\npass the "
     "limits of one database.\n.I SIZE\nis a whole number with an optional decimal suffix K "
     "(thousand), M (million) or\nG (billion), e.g. 500M, at most 4294967295. A record longer "
     "than\n.I SIZE\nis an error.\n",
     [](MakedbOptions& options, const std::string& option, const std::string& value) {
       options.shardSize = ParseCount(option, value, true);
     }},
};

// The option that `word` spells (without any "=VALUE") for `command`, or null.
const MakedbOption* OptionOf(std::string_view word, MakedbCommand command) {
  for (const MakedbOption& option : kOptions) {
    if (word != option.shown && (option.alias.empty() || word != option.alias)) continue;
    const bool takes = command == MakedbCommand::kMotifs ? option.forMotifs : option.forSequences;
    return takes ? &option : nullptr;
  }
  return nullptr;
}

}  // namespace

std::span<const MakedbCommandEntry> MakedbCommandTable() {
  return kCommands;
}

std::span<const MakedbOption> MakedbOptionTable() {
  return kOptions;
}

std::string MakedbUsage() {
  std::string usage;
  for (const MakedbCommandEntry& command : kCommands) {
    usage += usage.empty() ? "Usage: " : "       ";
    usage +=
        "brisel-makedb " + std::string(command.name) + " " + std::string(command.synopsis) + "\n";
  }
  usage +=
      "       brisel-makedb --help | --version\n"
      "Build a database for brisel-search.\n"
      "\n";
  for (const MakedbCommandEntry& command : kCommands)
    usage += HelpEntry(command.name, command.help, kHelpColumn);
  for (const MakedbOption& option : kOptions) {
    const std::string label = std::string(option.shown) +
                              (option.argument.empty() ? "" : " " + std::string(option.argument));
    usage += HelpEntry(label, option.help, kHelpColumn);
  }
  return usage +
         "\n"
         "INPUT - reads standard input. INPUT may be plain or compressed with gzip,\n"
         "bzip2, xz or zstd, recognised by its first bytes (on standard input too). ROOT\n"
         "is the database's root path, as brisel-search -l takes it: brisel-makedb\n"
         "sequences proteins.fa db/sprot writes db/sprot-stats and db/sprot-*.bin. An\n"
         "existing database at ROOT is replaced only once the new one has been written\n"
         "in full. A database holds at most 4294967295 residues and 165191049 sequences;\n"
         "split larger inputs into shards (INPUT must then be a file, not a pipe, as it\n"
         "is read twice) and search them as one: brisel-search -l -s ROOT.shards.\n";
}

std::string ManualOptionList() {
  std::string list;
  for (const MakedbOption& option : kOptions) {
    const std::string name = RoffEscaped(option.shown);
    list += ".TP\n";
    list += option.argument.empty()
                ? ".B " + name + "\n"
                : ".BI " + name + " \" " + std::string(option.argument) + "\"\n";
    list += option.manual;
  }
  return list;
}

MakedbOptions ParseMakedbOptions(const std::vector<std::string>& words) {
  MakedbOptions options;
  if (words.empty()) throw BuildError("no command given (see brisel-makedb --help)");
  const std::string& command = words[0];
  if (command == "--help" || command == "-h") return options;
  if (command == "--version") {
    options.command = MakedbCommand::kVersion;
    return options;
  }
  const auto entry = std::find_if(std::begin(kCommands), std::end(kCommands),
                                  [&](const MakedbCommandEntry& c) { return c.name == command; });
  if (entry == std::end(kCommands)) {
    throw BuildError("unknown command '" + command + "' (see brisel-makedb --help)");
  }
  options.command = entry->command;

  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word == "-" || word.empty() || word[0] != '-') {
      operands.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (const MakedbOption* option =
                   OptionOf(word.substr(0, word.find('=')), options.command);
               option != nullptr &&
               (options.command != MakedbCommand::kManifest || option->shown != "--shard-size")) {
      const std::size_t equals = word.find('=');
      const std::string name = word.substr(0, equals);
      std::string value;
      if (option->argument.empty()) {
        if (equals != std::string::npos) {
          throw BuildError("unknown option '" + word + "' (see brisel-makedb --help)");
        }
      } else if (equals != std::string::npos) {
        value = word.substr(equals + 1);
      } else if (i + 1 < words.size()) {
        value = words[++i];
      } else {
        throw BuildError(name + " needs a value (see brisel-makedb --help)");
      }
      option->apply(options, name, value);
    } else if (word == "--help") {
      options.command = MakedbCommand::kHelp;
      return options;
    } else {
      throw BuildError("unknown option '" + word + "' (see brisel-makedb --help)");
    }
  }
  const char* const output = options.command == MakedbCommand::kSplit ? "PREFIX" : "ROOT";
  if (options.command == MakedbCommand::kManifest) {
    if (operands.size() != 1) throw BuildError("manifest takes ROOT (see brisel-makedb --help)");
    if (operands[0].empty()) throw BuildError("the ROOT path is empty");
    if (options.shards == 0) {
      throw BuildError(
          "manifest needs --shards N, the number of shards (see brisel-makedb --help)");
    }
    options.root = operands[0];
    return options;
  }
  if (operands.size() != 2) {
    throw BuildError(command + " takes INPUT and " + output + " (see brisel-makedb --help)");
  }
  if (operands[1].empty()) throw BuildError(std::string("the ") + output + " path is empty");
  if (options.shards > 0 && options.shardSize > 0) {
    throw BuildError("--shards and --shard-size exclude each other");
  }
  if (options.command == MakedbCommand::kSplit && options.shards == 0 && options.shardSize == 0) {
    throw BuildError("split needs --shards N or --shard-size SIZE (see brisel-makedb --help)");
  }
  if (options.shardSize > kMaxShardSize) {
    throw BuildError("--shard-size is at most " + std::to_string(kMaxShardSize) +
                     " residues, the limit of one database");
  }
  options.input = operands[0];
  options.root = operands[1];
  return options;
}

}  // namespace brisel
