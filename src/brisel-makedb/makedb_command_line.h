// makedb_command_line.h: the command line of brisel-makedb.
//
//   brisel-makedb sequences [-q] INPUT ROOT
//   brisel-makedb motifs [-q] [--keep-order] INPUT ROOT
//   brisel-makedb --help | --version
//
// INPUT "-" is standard input. ROOT is a database root path exactly as
// "brisel-search -l" takes it. Options may stand anywhere after the command;
// "--" ends them.
#ifndef BRISEL_MAKEDB_COMMAND_LINE_H
#define BRISEL_MAKEDB_COMMAND_LINE_H

#include <string>
#include <vector>

enum class MakedbCommand { kHelp, kVersion, kSequences, kMotifs };

struct MakedbOptions {
  MakedbCommand command = MakedbCommand::kHelp;
  bool quiet = false;
  bool keepOrder = false;
  std::string input;
  std::string root;
};

// Reads the words after the program name. Throws BuildError on a usage error.
MakedbOptions ParseMakedbOptions(const std::vector<std::string>& words);

extern const char kMakedbUsage[];

#endif  // BRISEL_MAKEDB_COMMAND_LINE_H
