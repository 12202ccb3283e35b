// SPDX-License-Identifier: MIT
// brisel-makedb.cpp: the entry point of brisel-makedb, which builds the motif
// and sequence databases that brisel-search reads.
//
// Every failure is one line on standard error, "brisel-makedb: " followed by
// the input or output file and the problem, and exit status 1; a failed build
// changes no file of an existing database and leaves no temporary file. Paths,
// records and patterns in messages have their control bytes escaped
// (message_text.h).
#include <cstdint>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/message_text.h"
#include "builds/builds.h"
#include "makedb_options.h"
#include "output/output_streams.h"

using namespace brisel;

namespace {

// "1 motif", "2 motifs".
std::string Count(std::uint64_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

void BuildSequenceDatabase(const MakedbOptions& options, OutputStream& messages) {
  const brisel::SequenceBuild summary = brisel::BuildSequenceDatabase(
      options.input, options.root, {options.shards, options.shardSize, &messages, options.quiet});
  if (options.quiet) return;
  std::fprintf(stderr, "%s, %s written to ", Count(summary.sequences, "sequence").c_str(),
               Count(summary.residues, "residue").c_str());
  if (summary.shards == 0) {
    std::fprintf(stderr, "%s\n", EscapedText(options.root).c_str());
  } else {
    std::fprintf(stderr, "%s listed in %s.shards\n", Count(summary.shards, "shard").c_str(),
                 EscapedText(options.root).c_str());
  }
}

void SplitSequenceInput(const MakedbOptions& options, OutputStream& messages) {
  const brisel::SequenceBuild summary = brisel::SplitSequenceFile(
      options.input, options.root, {options.shards, options.shardSize, &messages, options.quiet});
  if (options.quiet) return;
  std::string pieces = brisel::SplitPiecePath(options.root, 1);
  if (summary.shards > 1) pieces += " to " + brisel::SplitPiecePath(options.root, summary.shards);
  std::fprintf(stderr, "%s, %s split into %s, %s\n", Count(summary.sequences, "sequence").c_str(),
               Count(summary.residues, "residue").c_str(),
               Count(summary.shards, "FASTA file").c_str(), pieces.c_str());
}

void WriteShardManifest(const MakedbOptions& options, OutputStream& messages) {
  const brisel::SequenceBuild summary =
      brisel::WriteShardManifest(options.root, {options.shards, 0, &messages, options.quiet});
  if (options.quiet) return;
  std::fprintf(stderr, "%s of %s, %s listed in %s.shards\n", Count(summary.shards, "shard").c_str(),
               Count(summary.sequences, "sequence").c_str(),
               Count(summary.residues, "residue").c_str(), EscapedText(options.root).c_str());
}

void BuildMotifDatabase(const MakedbOptions& options, OutputStream& messages) {
  const brisel::MotifBuild summary = brisel::BuildMotifDatabase(
      options.input, options.root, {options.keepOrder, &messages, options.quiet});
  if (!options.quiet) {
    std::fprintf(stderr, "%s from %s", Count(summary.motifs, "motif").c_str(),
                 Count(summary.patterns, "pattern").c_str());
    if (summary.skipped > 0) {
      std::fprintf(stderr, " (%llu skipped)", static_cast<unsigned long long>(summary.skipped));
    }
    std::fprintf(stderr, " written to %s\n", EscapedText(options.root).c_str());
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  try {
    const MakedbOptions options =
        ParseMakedbOptions(std::vector<std::string>(argv + 1, argv + argc));
    FileStream messages(stderr);
    switch (options.command) {
      case MakedbCommand::kHelp:
        std::fputs(MakedbUsage().c_str(), stdout);
        break;
      case MakedbCommand::kVersion:
        std::fputs("brisel-makedb " BRISEL_VERSION "\n", stdout);
        break;
      case MakedbCommand::kSequences:
        BuildSequenceDatabase(options, messages);
        break;
      case MakedbCommand::kSplit:
        SplitSequenceInput(options, messages);
        break;
      case MakedbCommand::kManifest:
        WriteShardManifest(options, messages);
        break;
      case MakedbCommand::kMotifs:
        BuildMotifDatabase(options, messages);
        break;
    }
  } catch (const brisel::Error& error) {
    std::fprintf(stderr, "brisel-makedb: %s\n", error.what());
    return 1;
  } catch (const std::bad_alloc&) {
    std::fputs("brisel-makedb: out of memory\n", stderr);
    return 1;
  }
  if (std::fflush(stdout) != 0) {
    std::perror("brisel-makedb: cannot write standard output");
    return 1;
  }
  return 0;
}
