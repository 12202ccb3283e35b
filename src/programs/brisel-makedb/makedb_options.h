// SPDX-License-Identifier: MIT
// makedb_options.h: the command line of brisel-makedb, declared once.
//
//   brisel-makedb sequences [-q] [--shards N | --shard-size SIZE] INPUT ROOT
//   brisel-makedb split [-q] --shards N | --shard-size SIZE INPUT PREFIX
//   brisel-makedb manifest [-q] --shards N ROOT
//   brisel-makedb motifs [-q] [--keep-order] INPUT ROOT
//   brisel-makedb --help | --version
//
// MakedbCommandTable() and MakedbOptionTable() hold one entry per command and
// per option: its spelling, argument, the commands that take it, what reading
// it does (and the check of its value), and the texts that --help and the
// manual page give for it. The reading, the usage text and the manual page's
// option list (write_manual) are all made from them.
//
// INPUT "-" is standard input. ROOT is a database root path exactly as
// "brisel-search -l" takes it; split's PREFIX is the start of its output
// paths (kept in `root`). manifest takes ROOT alone. Options may stand anywhere after the command;
// "--" ends them. An option's value is the next word or follows '='. SIZE counts
// residues, with an optional decimal suffix K (10^3), M (10^6) or G (10^9).
#ifndef BRISEL_PROGRAMS_MAKEDB_OPTIONS_H
#define BRISEL_PROGRAMS_MAKEDB_OPTIONS_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

enum class MakedbCommand { kHelp, kVersion, kSequences, kSplit, kManifest, kMotifs };

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

struct MakedbCommandEntry {
  MakedbCommand command;
  std::string_view name;
  std::string_view synopsis;  // what follows the name in the usage
  std::string_view help;      // --help's description, lines of the help column
};

struct MakedbOption {
  std::string_view shown;     // "-q", "--shards"
  std::string_view alias;     // another spelling, not shown; may be empty
  std::string_view argument;  // "N", "SIZE"; empty: a flag
  bool forMotifs;             // taken by motifs
  bool forSequences;          // taken by sequences and split (and manifest: -q, --shards)
  std::string_view help;      // --help's description
  std::string_view manual;    // the manual page's paragraph (roff)
  // Reads the option (`value` empty for a flag). Throws BuildError.
  void (*apply)(MakedbOptions& options, const std::string& option, const std::string& value);
};

std::span<const MakedbCommandEntry> MakedbCommandTable();
std::span<const MakedbOption> MakedbOptionTable();

// Reads the words after the program name. Throws BuildError on a usage error.
MakedbOptions ParseMakedbOptions(const std::vector<std::string>& words);

// The text of --help.
std::string MakedbUsage();

// The manual page's option list (roff: one .TP paragraph per option).
std::string ManualOptionList();

}  // namespace brisel

#endif  // BRISEL_PROGRAMS_MAKEDB_OPTIONS_H
