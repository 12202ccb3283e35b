// makedb_command_line.cpp: reads the command and its options.
#include "makedb_command_line.h"

#include "build_error.h"

const char kMakedbUsage[] =
    "Usage: brisel-makedb sequences [-q] INPUT ROOT\n"
    "       brisel-makedb motifs [-q] [--keep-order] INPUT ROOT\n"
    "       brisel-makedb --help | --version\n"
    "Build a database for brisel-search.\n"
    "\n"
    "  sequences     INPUT is FASTA (plain or gzip-compressed); builds a sequence\n"
    "                database\n"
    "  motifs        INPUT is a PROSITE data file or a list of PROSITE patterns, one\n"
    "                per line followed by its record text; builds a motif database\n"
    "  -q            no progress line and no summary\n"
    "  --keep-order  keep the motifs in input order instead of most specific first\n"
    "\n"
    "INPUT - reads standard input. ROOT is the database's root path, as\n"
    "brisel-search -l takes it: brisel-makedb sequences proteins.fa db/sprot\n"
    "writes db/sprot-stats and db/sprot-*.bin. An existing database at ROOT is\n"
    "replaced only once the new one has been written in full.\n";

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
    } else if (word == "--help") {
      options.command = MakedbCommand::kHelp;
      return options;
    } else {
      throw BuildError("unknown option '" + word + "' (see brisel-makedb --help)");
    }
  }
  if (operands.size() != 2) {
    throw BuildError(command + " takes INPUT and ROOT (see brisel-makedb --help)");
  }
  if (operands[1].empty()) throw BuildError("the ROOT path is empty");
  options.input = operands[0];
  options.root = operands[1];
  return options;
}
