// SPDX-License-Identifier: MIT
// builds.cpp: the builds of the library API, over the builders.
#include "api/builds.h"

#include <vector>

#include "fasta_split.h"
#include "input_file.h"
#include "makedb_command_line.h"
#include "motif_builder.h"
#include "output/message_text.h"
#include "pattern_sources.h"
#include "progress_line.h"
#include "sequence_build.h"
#include "staged_files.h"

namespace brisel {

namespace {

// Completes what an interrupted build of the root left half done, and clears
// away its temporary files, before anything else happens to the root.
void PrepareToBuild(const std::string& rootPath, OutputStream* messages, bool quiet) {
  if (PrepareRoot(rootPath) && messages != nullptr && !quiet) {
    messages->Write("brisel-makedb: completed the replacement of " + EscapedText(rootPath) +
                    " that an interrupted build began\n");
  }
}

// The command line's form of a sequence build's options.
MakedbOptions MakedbOptionsOf(MakedbCommand command, const std::string& input,
                              const std::string& root, const SequenceBuildOptions& options) {
  MakedbOptions made;
  made.command = command;
  made.quiet = options.quiet;
  made.shards = options.shards;
  made.shardSize = options.shardSize;
  made.input = input;
  made.root = root;
  return made;
}

// A builder holding the motifs of every pattern of `input`.
MotifDatabaseBuilder ReadMotifs(const std::string& input, const MotifBuildOptions& options,
                                MotifBuild& summary) {
  InputFile file(input);
  std::vector<PatternSource> sources;
  {
    ProgressLine progress(options.quiet, file);
    sources = ReadPatternSources(file, progress);
  }
  MotifDatabaseBuilder builder(options.keepOrder, options.messages);
  builder.AddPatterns(file, sources);
  summary = {builder.motifs(), builder.patterns(), builder.skipped()};
  return builder;
}

}  // namespace

MotifBuild BuildMotifDatabase(const std::string& input, const std::string& rootPath,
                              const MotifBuildOptions& options) {
  PrepareToBuild(rootPath, options.messages, options.quiet);
  MotifBuild summary;
  MotifDatabaseBuilder builder = ReadMotifs(input, options, summary);
  StagedDatabase database(rootPath);
  builder.Write(database);
  database.Commit();
  return summary;
}

MotifDatabase BuildMotifDatabaseInMemory(const std::string& input, const MotifBuildOptions& options,
                                         MotifBuild* summary) {
  MotifBuild built;
  MotifDatabaseBuilder builder = ReadMotifs(input, options, built);
  if (summary != nullptr) *summary = built;
  return builder.InMemory();
}

SequenceBuild BuildSequenceDatabase(const std::string& input, const std::string& rootPath,
                                    const SequenceBuildOptions& options) {
  PrepareToBuild(rootPath, options.messages, options.quiet);
  const SequenceBuildSummary summary =
      BuildSequenceDatabases(MakedbOptionsOf(MakedbCommand::kSequences, input, rootPath, options));
  return {summary.sequences, summary.residues, summary.shards};
}

SequenceBuild SplitSequenceFile(const std::string& input, const std::string& prefix,
                                const SequenceBuildOptions& options) {
  const SplitSummary summary =
      SplitSequences(MakedbOptionsOf(MakedbCommand::kSplit, input, prefix, options));
  return {summary.sequences, summary.residues, summary.pieces};
}

std::string SplitPiecePath(const std::string& prefix, std::uint64_t piece) {
  return PiecePath(prefix, piece);
}

}  // namespace brisel
