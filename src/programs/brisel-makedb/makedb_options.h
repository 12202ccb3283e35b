// SPDX-License-Identifier: MIT
// makedb_command_line.h: the command line of brisel-makedb.
//
//   brisel-makedb sequences [-q] [--shards N | --shard-size SIZE] INPUT ROOT
//   brisel-makedb split [-q] --shards N | --shard-size SIZE INPUT PREFIX
//   brisel-makedb motifs [-q] [--keep-order] INPUT ROOT
//   brisel-makedb --help | --version
//
// INPUT "-" is standard input. ROOT is a database root path exactly as
// "brisel-search -l" takes it; split's PREFIX is the start of its output
// paths (kept in `root`). Options may stand anywhere after the command;
// "--" ends them. An option's value is the next word or follows '='. SIZE counts
// residues, with an optional decimal suffix K (10^3), M (10^6) or G (10^9).
#ifndef BRISEL_MAKEDB_COMMAND_LINE_H
#define BRISEL_MAKEDB_COMMAND_LINE_H

#include <cstdint>
#include <string>
#include <vector>

namespace brisel {

enum class MakedbCommand { kHelp, kVersion, kSequences, kSplit, kMotifs };

struct MakedbOptions {
  MakedbCommand command = MakedbCommand::kHelp;
  bool quiet = false;
  bool keepOrder = false;
  std::uint64_t shards = 0;     // --shards; 0: not given
  std::uint64_t shardSize = 0;  // --shard-size; 0: not given
  std::string input;
  std::string root;  // ROOT, or split's PREFIX
};

// The largest --shard-size: the residues one database can hold.
inline constexpr std::uint64_t kMaxShardSize = 4294967295u;

// Reads the words after the program name. Throws BuildError on a usage error.
MakedbOptions ParseMakedbOptions(const std::vector<std::string>& words);

extern const char kMakedbUsage[];

}  // namespace brisel

#endif  // BRISEL_MAKEDB_COMMAND_LINE_H
