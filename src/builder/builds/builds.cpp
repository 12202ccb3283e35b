// SPDX-License-Identifier: MIT
// builds.cpp: the builds of the library API, over the builders.
#include "builds/builds.h"

#include <vector>

#include "base/message_text.h"
#include "input/input_file.h"
#include "input/reading_progress.h"
#include "patterns/motif_builder.h"
#include "patterns/pattern_sources.h"
#include "sequences/fasta_split.h"
#include "sequences/sequence_build.h"
#include "staging/staged_files.h"

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

// The job of a sequence build or split.
SequenceJob JobOf(const std::string& input, const std::string& root,
                  const SequenceBuildOptions& options) {
  return {input, root, options.shards, options.shardSize, options.quiet};
}

// A builder holding the motifs of `sources`.
MotifDatabaseBuilder AddMotifs(std::string_view inputName,
                               const std::vector<PatternSource>& sources,
                               const MotifBuildOptions& options, MotifBuild& summary) {
  MotifDatabaseBuilder builder(options.keepOrder, options.messages, options.program);
  builder.AddPatterns(inputName, sources);
  summary = {builder.motifs(), builder.patterns(), builder.skipped()};
  return builder;
}

// A builder holding the motifs of every pattern of `input`.
MotifDatabaseBuilder ReadMotifs(const std::string& input, const MotifBuildOptions& options,
                                MotifBuild& summary) {
  InputFile file(input);
  std::vector<PatternSource> sources;
  {
    ReadingProgress progress(options.quiet, file);
    sources = ReadPatternSources(file, progress);
  }
  return AddMotifs(file.name(), sources, options, summary);
}

MotifBuild WriteMotifs(MotifDatabaseBuilder builder, const std::string& rootPath,
                       const MotifBuild& summary) {
  StagedDatabase database(rootPath);
  builder.Write(database);
  database.Commit();
  return summary;
}

}  // namespace

MotifBuild BuildMotifDatabase(const std::string& input, const std::string& rootPath,
                              const MotifBuildOptions& options) {
  PrepareToBuild(rootPath, options.messages, options.quiet);
  MotifBuild summary;
  MotifDatabaseBuilder builder = ReadMotifs(input, options, summary);
  return WriteMotifs(std::move(builder), rootPath, summary);
}

MotifDatabase BuildMotifDatabaseInMemory(const std::string& input, const MotifBuildOptions& options,
                                         MotifBuild* summary) {
  MotifBuild built;
  MotifDatabaseBuilder builder = ReadMotifs(input, options, built);
  if (summary != nullptr) *summary = built;
  return builder.InMemory();
}

MotifBuild BuildMotifDatabase(std::span<const PatternEntry> entries, std::string_view inputName,
                              const std::string& rootPath, const MotifBuildOptions& options) {
  PrepareToBuild(rootPath, options.messages, options.quiet);
  MotifBuild summary;
  MotifDatabaseBuilder builder =
      AddMotifs(inputName, PatternSourcesOf(inputName, entries), options, summary);
  return WriteMotifs(std::move(builder), rootPath, summary);
}

MotifDatabase BuildMotifDatabaseInMemory(std::span<const PatternEntry> entries,
                                         std::string_view inputName,
                                         const MotifBuildOptions& options, MotifBuild* summary) {
  MotifBuild built;
  MotifDatabaseBuilder builder =
      AddMotifs(inputName, PatternSourcesOf(inputName, entries), options, built);
  if (summary != nullptr) *summary = built;
  return builder.InMemory();
}

SequenceBuild BuildSequenceDatabase(const std::string& input, const std::string& rootPath,
                                    const SequenceBuildOptions& options) {
  PrepareToBuild(rootPath, options.messages, options.quiet);
  const SequenceBuildSummary summary = BuildSequenceDatabases(JobOf(input, rootPath, options));
  return {summary.sequences, summary.residues, summary.shards};
}

SequenceBuild BuildSequenceDatabase(const RecordSourceOpener& open, std::string_view inputName,
                                    const std::string& rootPath,
                                    const SequenceBuildOptions& options) {
  PrepareToBuild(rootPath, options.messages, options.quiet);
  const SequenceBuildSummary summary =
      BuildSequenceDatabasesFromRecords(JobOf({}, rootPath, options), inputName, open);
  return {summary.sequences, summary.residues, summary.shards};
}

SequenceBuild SplitSequenceFile(const std::string& input, const std::string& prefix,
                                const SequenceBuildOptions& options) {
  const SplitSummary summary = SplitSequences(JobOf(input, prefix, options));
  return {summary.sequences, summary.residues, summary.pieces};
}

SequenceBuild WriteShardManifest(const std::string& rootPath, const SequenceBuildOptions& options) {
  PrepareToBuild(rootPath, options.messages, options.quiet);
  const SequenceBuildSummary summary = WriteShardManifest(rootPath, options.shards);
  return {summary.sequences, summary.residues, summary.shards};
}

std::string SplitPiecePath(const std::string& prefix, std::uint64_t piece) {
  return PiecePath(prefix, piece);
}

}  // namespace brisel
