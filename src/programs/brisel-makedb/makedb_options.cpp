// SPDX-License-Identifier: MIT
// makedb_command_line.cpp: reads the command and its options.
#include "makedb_options.h"

#include <limits>

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

// "--shards" or "--shard-size", alone or followed by "=VALUE".
bool IsShardOption(const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  return name == "--shards" || name == "--shard-size";
}

}  // namespace

const char kMakedbUsage[] =
    "Usage: brisel-makedb sequences [-q] [--shards N | --shard-size SIZE] INPUT ROOT\n"
    "       brisel-makedb split [-q] --shards N | --shard-size SIZE INPUT PREFIX\n"
    "       brisel-makedb motifs [-q] [--keep-order] INPUT ROOT\n"
    "       brisel-makedb --help | --version\n"
    "Build a database for brisel-search.\n"
    "\n"
    "  sequences     INPUT is FASTA; builds a sequence database\n"
    "  split         writes the records of each shard that sequences would build\n"
    "                with the same options as a plain FASTA file, PREFIX.1.fasta,\n"
    "                PREFIX.2.fasta, ...; sequences PREFIX.K.fasta ROOT.K then\n"
    "                builds shard K byte for byte, so the shards can be built\n"
    "                at the same time\n"
    "  motifs        INPUT is a PROSITE data file or a list of PROSITE patterns, one\n"
    "                per line followed by its record text; builds a motif database\n"
    "  -q            no progress line and no summary\n"
    "  --keep-order  keep the motifs in input order instead of most specific first\n"
    "  --shards N    split the sequences, in input order, into N databases of about\n"
    "                equal residue counts, ROOT.1 to ROOT.N, listed in ROOT.shards\n"
    "  --shard-size SIZE\n"
    "                the same, each shard holding at most SIZE residues (suffixes\n"
    "                K, M, G: thousands, millions, billions)\n"
    "\n"
    "INPUT - reads standard input. INPUT may be plain or compressed with gzip,\n"
    "bzip2, xz or zstd, recognised by its first bytes (on standard input too). ROOT\n"
    "is the database's root path, as brisel-search -l takes it: brisel-makedb\n"
    "sequences proteins.fa db/sprot writes db/sprot-stats and db/sprot-*.bin. An\n"
    "existing database at ROOT is replaced only once the new one has been written\n"
    "in full. A database holds at most 4294967295 residues and 165191049 sequences;\n"
    "split larger inputs into shards (INPUT must then be a file, not a pipe, as it\n"
    "is read twice) and search each shard in the order ROOT.shards lists them.\n";

MakedbOptions ParseMakedbOptions(const std::vector<std::string>& words) {
  MakedbOptions options;
  if (words.empty()) throw BuildError("no command given (see brisel-makedb --help)");
  const std::string& command = words[0];
  if (command == "--help" || command == "-h") return options;
  if (command == "--version") {
    options.command = MakedbCommand::kVersion;
    return options;
  }
  if (command == "sequences") {
    options.command = MakedbCommand::kSequences;
  } else if (command == "split") {
    options.command = MakedbCommand::kSplit;
  } else if (command == "motifs") {
    options.command = MakedbCommand::kMotifs;
  } else {
    throw BuildError("unknown command '" + command + "' (see brisel-makedb --help)");
  }

  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (optionsEnded || word == "-" || word.empty() || word[0] != '-') {
      operands.push_back(word);
    } else if (word == "--") {
      optionsEnded = true;
    } else if (word == "-q" || word == "--quiet") {
      options.quiet = true;
    } else if (word == "--keep-order" && options.command == MakedbCommand::kMotifs) {
      options.keepOrder = true;
    } else if (options.command != MakedbCommand::kMotifs && IsShardOption(word)) {
      const std::size_t equals = word.find('=');
      const std::string option = word.substr(0, equals);
      std::string value;
      if (equals != std::string::npos) {
        value = word.substr(equals + 1);
      } else if (i + 1 < words.size()) {
        value = words[++i];
      } else {
        throw BuildError(option + " needs a value (see brisel-makedb --help)");
      }
      if (option == "--shards") {
        options.shards = ParseCount(option, value, false);
      } else {
        options.shardSize = ParseCount(option, value, true);
      }
    } else if (word == "--help") {
      options.command = MakedbCommand::kHelp;
      return options;
    } else {
      throw BuildError("unknown option '" + word + "' (see brisel-makedb --help)");
    }
  }
  const char* const output = options.command == MakedbCommand::kSplit ? "PREFIX" : "ROOT";
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
