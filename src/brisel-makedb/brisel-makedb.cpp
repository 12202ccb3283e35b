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

#include "build_error.h"
#include "fasta_split.h"
#include "input_file.h"
#include "makedb_command_line.h"
#include "message_text.h"
#include "motif_builder.h"
#include "pattern_sources.h"
#include "progress_line.h"
#include "sequence_build.h"
#include "staged_files.h"

namespace {

// "1 motif", "2 motifs".
std::string Count(std::uint64_t n, const char* noun) {
  return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

void BuildSequenceDatabase(const MakedbOptions& options) {
  const SequenceBuildSummary summary = BuildSequenceDatabases(options);
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

void SplitSequenceInput(const MakedbOptions& options) {
  const SplitSummary summary = SplitSequences(options);
  if (options.quiet) return;
  std::string pieces = PiecePath(options.root, 1);
  if (summary.pieces > 1) pieces += " to " + PiecePath(options.root, summary.pieces);
  std::fprintf(stderr, "%s, %s split into %s, %s\n", Count(summary.sequences, "sequence").c_str(),
               Count(summary.residues, "residue").c_str(),
               Count(summary.pieces, "FASTA file").c_str(), pieces.c_str());
}

void BuildMotifDatabase(const MakedbOptions& options) {
  InputFile input(options.input);
  std::vector<PatternSource> sources;
  {
    ProgressLine progress(options.quiet, input);
    sources = ReadPatternSources(input, progress);
  }
  MotifDatabaseBuilder builder(options.keepOrder);
  builder.AddPatterns(input, sources);
  StagedDatabase database(options.root);
  builder.Write(database);
  database.Commit();
  if (!options.quiet) {
    std::fprintf(stderr, "%s from %s", Count(builder.motifs(), "motif").c_str(),
                 Count(builder.patterns(), "pattern").c_str());
    if (builder.skipped() > 0) {
      std::fprintf(stderr, " (%llu skipped)", static_cast<unsigned long long>(builder.skipped()));
    }
    std::fprintf(stderr, " written to %s\n", EscapedText(options.root).c_str());
  }
}

// Completes what an interrupted build of the root left half done, and clears
// away its temporary files, before anything else happens to the root.
void PrepareToBuild(const MakedbOptions& options) {
  if (PrepareRoot(options.root) && !options.quiet) {
    std::fprintf(stderr,
                 "brisel-makedb: completed the replacement of %s that an interrupted build "
                 "began\n",
                 options.root.c_str());
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  try {
    const MakedbOptions options =
        ParseMakedbOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (options.command == MakedbCommand::kSequences || options.command == MakedbCommand::kMotifs) {
      PrepareToBuild(options);
    }
    switch (options.command) {
      case MakedbCommand::kHelp:
        std::fputs(kMakedbUsage, stdout);
        break;
      case MakedbCommand::kVersion:
        std::fputs("brisel-makedb " BRISEL_VERSION "\n", stdout);
        break;
      case MakedbCommand::kSequences:
        BuildSequenceDatabase(options);
        break;
      case MakedbCommand::kSplit:
        SplitSequenceInput(options);
        break;
      case MakedbCommand::kMotifs:
        BuildMotifDatabase(options);
        break;
    }
  } catch (const BuildError& error) {
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
