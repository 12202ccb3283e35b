// SPDX-License-Identifier: MIT
// sequence_build.cpp: the passes over the input and the shards they fill.
#include "sequences/sequence_build.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "database/database_paths.h"
#include "database/sequence_database.h"
#include "database/shard_manifest.h"
#include "database/stats_file.h"
#include "input/reading_progress.h"
#include "sequences/fasta_reader.h"
#include "sequences/shard_plan.h"
#include "staging/build_error.h"
#include "staging/database_output.h"
#include "staging/staged_files.h"

namespace brisel {

namespace {

std::string ShardRoot(const std::string& root, std::uint64_t shard) {
  return root + "." + std::to_string(shard);
}

// Receives the records of the build pass and hands each to the database of
// its shard, opening the next shard when the plan says so.
class ShardRouter {
 public:
  ShardRouter(StagedFiles& files, const SequenceJob& job, ShardPlan plan, SequenceLimits limits,
              std::size_t heldResidues)
      : files_(files),
        job_(job),
        plan_(std::move(plan)),
        limits_(limits),
        heldResidues_(heldResidues) {}

  void StartRecord(std::string_view name, const RecordPlace& place) {
    if (!builder_ || plan_.CutBefore(records_, residues_)) OpenShard();
    builder_->StartSequence(name, place);
    ++records_;
  }

  void AddResidues(std::string_view residues, const RecordPlace& place) {
    builder_->AddResidues(residues, place);
    residues_ += residues.size();
  }

  // Completes the last shard (an empty database when unsharded and the input
  // holds no record).
  void Finish() {
    if (!builder_) OpenShard();
    FinishShard();
  }

  std::uint64_t records() const { return records_; }
  std::uint64_t residues() const { return residues_; }
  std::uint64_t shards() const { return shards_; }
  // The digests of the finished shards, in order.
  const std::vector<std::uint64_t>& digests() const { return digests_; }

 private:
  void OpenShard() {
    FinishShard();
    ++shards_;
    std::string advice;
    if (!job_.sharded()) {
      advice = " (split the input with --shards or --shard-size)";
    } else if (job_.shards > 0) {
      advice = " in shard " + std::to_string(shards_) + " (use more --shards, or --shard-size)";
    }
    builder_.emplace(files_, job_.sharded() ? ShardRoot(job_.root, shards_) : job_.root, limits_,
                     std::move(advice), heldResidues_);
  }

  void FinishShard() {
    if (!builder_) return;
    builder_->Finish();
    digests_.push_back(builder_->digest());
    builder_.reset();
  }

  StagedFiles& files_;
  const SequenceJob& job_;
  ShardPlan plan_;
  SequenceLimits limits_;
  std::size_t heldResidues_;
  std::optional<SequenceDatabaseBuilder> builder_;
  std::vector<std::uint64_t> digests_;
  std::uint64_t records_ = 0, residues_ = 0, shards_ = 0;
};

}  // namespace

ShardPlan PlanShards(const SequenceJob& job, SequenceLimits limits, std::uint64_t& records,
                     std::uint64_t& residues) {
  InputFile input(job.input);
  if (job.input == "-" || !input.totalBytes()) {
    throw BuildError(input.name() +
                     ": --shards and --shard-size need an input file that can be read twice, "
                     "not a pipe");
  }
  ReadingProgress progress(job.quiet, input);
  FastaPieces census(input, progress);
  return PlanShards(job, input.name(), census, limits, records, residues);
}

ShardPlan PlanShards(const SequenceJob& job, std::string_view inputName, RecordPieces& census,
                     SequenceLimits limits, std::uint64_t& records, std::uint64_t& residues) {
  const std::string name(inputName);
  InputCensus counts(job.shardSize, limits);
  FillFrom(census, counts);
  counts.Finish();
  records = counts.records();
  residues = counts.residues();
  if (records == 0) throw BuildError(name + ": no sequences to split into shards");
  if (job.shards > records) {
    throw BuildError(name + ": --shards " + std::to_string(job.shards) +
                     " asks for more shards than its " + std::to_string(records) + " sequence" +
                     (records == 1 ? "" : "s"));
  }
  // The fullest shard holds at least the average, rounded up.
  const auto average = [&](std::uint64_t n) { return n / job.shards + (n % job.shards != 0); };
  if (job.shards > 0 &&
      (average(residues) > limits.maxBlockLength || average(records) > limits.maxSequences)) {
    throw BuildError(name + ": " + std::to_string(job.shards) + " shards cannot hold its " +
                     std::to_string(records) + " sequences and " + std::to_string(residues) +
                     " residues (use more --shards, or --shard-size)");
  }
  if (job.shards > 0) return ShardPlan::ByCount(job.shards, records, residues);
  return ShardPlan::ByCuts(counts.cuts());
}

namespace {

// The shard numbers that the manifest at `path` lists (entries "<base>.<n>"),
// if it exists; anything else in it is not this builder's and is left alone.
std::vector<std::uint64_t> ListedShards(const std::string& path, const std::string& base) {
  std::ifstream manifest(path);
  std::vector<std::uint64_t> shards;
  std::string line;
  while (std::getline(manifest, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() <= base.size() + 1 || line.compare(0, base.size(), base) != 0 ||
        line[base.size()] != '.') {
      continue;
    }
    const std::string digits = line.substr(base.size() + 1);
    if (digits.size() > 18 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    shards.push_back(std::stoull(digits));
  }
  return shards;
}

// Stages the manifest of the shards with these digests, naming their build;
// with `removeOld`, also the removal of the shards that the manifest it
// replaces lists beyond the new ones: they belong to the old build.
void WriteManifest(StagedFiles& files, const std::string& root,
                   const std::vector<std::uint64_t>& digests, bool removeOld) {
  const std::string final = root + std::string(kShardManifestSuffix);
  const std::string base = std::filesystem::path(root).filename().string();
  const std::uint64_t shards = digests.size();
  for (const std::uint64_t old :
       removeOld ? ListedShards(final, base) : std::vector<std::uint64_t>{}) {
    if (old >= 1 && old <= shards) continue;
    const std::string oldRoot = ShardRoot(root, old);
    files.StageRemoval(oldRoot + std::string(kStatsSuffix));  // a search meets it first
    for (const SequenceBlock& block : kSequenceBlocks)
      files.StageRemoval(oldRoot + std::string(block.suffix));
  }
  ShardManifest manifest;
  manifest.build = BuildIdentity(digests);
  for (std::uint64_t k = 1; k <= shards; ++k)
    manifest.shards.push_back(ShardRoot(base, k));
  WriteStagedText(files.Stage(final), final, ShardManifestText(manifest));
}

// The build pass: the records of `pass` into the databases that `plan` cuts,
// checked against the census (when sharded) and committed.
SequenceBuildSummary BuildPlanned(const SequenceJob& job, std::string_view inputName,
                                  RecordPieces& pass, ShardPlan plan, std::uint64_t censusRecords,
                                  std::uint64_t censusResidues, SequenceLimits limits,
                                  std::size_t heldResidues) {
  StagedFiles files(job.root);
  ShardRouter router(files, job, std::move(plan), limits, heldResidues);
  FillFrom(pass, router);
  if (job.sharded() && (router.records() != censusRecords || router.residues() != censusResidues)) {
    throw BuildError(std::string(inputName) + ": the input changed while it was read");
  }
  router.Finish();
  if (job.sharded()) WriteManifest(files, job.root, router.digests(), true);
  files.Commit();
  return {router.records(), router.residues(), job.sharded() ? router.shards() : 0};
}

}  // namespace

SequenceBuildSummary BuildSequenceDatabases(const SequenceJob& job, SequenceLimits limits,
                                            std::size_t heldResidues) {
  ShardPlan plan = ShardPlan::Single();
  std::uint64_t censusRecords = 0, censusResidues = 0;
  if (job.sharded()) plan = PlanShards(job, limits, censusRecords, censusResidues);
  InputFile input(job.input);
  ReadingProgress progress(job.quiet, input);
  FastaPieces pass(input, progress);
  return BuildPlanned(job, input.name(), pass, std::move(plan), censusRecords, censusResidues,
                      limits, heldResidues);
}

SequenceBuildSummary BuildSequenceDatabasesFromRecords(const SequenceJob& job,
                                                       std::string_view inputName,
                                                       const RecordSourceOpener& open,
                                                       SequenceLimits limits,
                                                       std::size_t heldResidues) {
  ShardPlan plan = ShardPlan::Single();
  std::uint64_t censusRecords = 0, censusResidues = 0;
  if (job.sharded()) {
    const std::unique_ptr<RecordSource> source = open();
    SourcePieces census(*source, inputName);
    plan = PlanShards(job, inputName, census, limits, censusRecords, censusResidues);
  }
  const std::unique_ptr<RecordSource> source = open();
  SourcePieces pass(*source, inputName);
  return BuildPlanned(job, inputName, pass, std::move(plan), censusRecords, censusResidues, limits,
                      heldResidues);
}

SequenceBuildSummary WriteShardManifest(const std::string& root, std::uint64_t shards) {
  SequenceBuildSummary summary;
  summary.shards = shards;
  std::vector<std::uint64_t> digests;
  for (std::uint64_t k = 1; k <= shards; ++k) {
    const std::string stats = ShardRoot(root, k) + std::string(kStatsSuffix);
    StatsCounts counts{};
    if (const auto fault = ReadStatsFile(stats.c_str(), counts)) throw BuildError(*fault);
    const std::optional<std::uint64_t> digest = ReadStatsDigest(stats);
    if (!digest) {
      throw BuildError(stats +
                       ": no digest line (the shard was built by an older brisel-makedb); "
                       "build it again");
    }
    digests.push_back(*digest);
    summary.sequences += counts[kSequencesCount];
    summary.residues += counts[kSequenceBitsCount];
  }
  StagedFiles files(root);
  WriteManifest(files, root, digests, false);
  files.Commit();
  return summary;
}

}  // namespace brisel
