// SPDX-License-Identifier: MIT
// builds.cpp: the builds of the library API, over the builders.
#include "api/builds.h"

#include <vector>

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
  MakedbOptions build;
  build.command = MakedbCommand::kSequences;
  build.quiet = options.quiet;
  build.shards = options.shards;
  build.shardSize = options.shardSize;
  build.input = input;
  build.root = rootPath;
  const SequenceBuildSummary summary = BuildSequenceDatabases(build);
  return {summary.sequences, summary.residues, summary.shards};
}

}  // namespace brisel
