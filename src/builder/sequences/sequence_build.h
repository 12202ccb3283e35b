// SPDX-License-Identifier: MIT
// sequence_build.h: "brisel-makedb sequences", one database or shards.
//
// Without sharding the input is read once and streamed into the database at
// ROOT. With --shards or --shard-size the input, which must then be a regular
// file (plain or compressed) so that it can be read twice, is first counted (see
// shard_plan.h) and then streamed into the databases ROOT.1, ROOT.2, ...; the
// manifest ROOT.shards lists their roots, relative to its own directory, one
// per line in input order, after the line of their build identity
// (shard_manifest.h). Every file of every shard and the manifest are
// staged together and renamed into place at the end, the manifest last, so a
// failed or interrupted build leaves nothing behind.
#ifndef BRISEL_MAKEDB_SEQUENCE_BUILD_H
#define BRISEL_MAKEDB_SEQUENCE_BUILD_H

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "input/input_file.h"
#include "input/record_source.h"
#include "sequences/fasta_reader.h"
#include "sequences/sequence_builder.h"
#include "sequences/shard_plan.h"

namespace brisel {

// What a sequence build (or split) is asked to do.
struct SequenceJob {
  std::string input;            // a path, or "-" for standard input
  std::string root;             // the database's root path, or a split's prefix
  std::uint64_t shards = 0;     // --shards N; 0: not given
  std::uint64_t shardSize = 0;  // --shard-size SIZE; 0: not given
  bool quiet = true;            // no progress line

  bool sharded() const { return shards > 0 || shardSize > 0; }
};

struct SequenceBuildSummary {
  std::uint64_t sequences = 0;
  std::uint64_t residues = 0;
  std::uint64_t shards = 0;  // 0: one database, no manifest
};

// Counts the file job.input and plans the shards that the job asks for
// (--shards or --shard-size); `records` and `residues` receive the counts.
// Throws BuildError when the input is a pipe, holds no record, or cannot be
// split as asked.
ShardPlan PlanShards(const SequenceJob& job, SequenceLimits limits, std::uint64_t& records,
                     std::uint64_t& residues);
// The same plan from one pass over any input, named `inputName` in messages.
ShardPlan PlanShards(const SequenceJob& job, std::string_view inputName, RecordPieces& census,
                     SequenceLimits limits, std::uint64_t& records, std::uint64_t& residues);

// Builds what the job asks for. Throws BuildError.
SequenceBuildSummary BuildSequenceDatabases(const SequenceJob& job, SequenceLimits limits = {},
                                            std::size_t heldResidues = kDefaultHeldResidues);

// Builds what the job asks for (job.input unused) from the records that
// `open` gives (fasta_reader.h, SourcePieces), named `inputName` in messages:
// one pass, two when sharded. Throws BuildError.
SequenceBuildSummary BuildSequenceDatabasesFromRecords(
    const SequenceJob& job, std::string_view inputName, const RecordSourceOpener& open,
    SequenceLimits limits = {}, std::size_t heldResidues = kDefaultHeldResidues);

// Writes the manifest ROOT.shards of the shards ROOT.1 to ROOT.<shards>,
// built on their own (from the pieces of a split, say), with the build
// identity of their digests. Throws BuildError when a shard's stats file
// cannot be read or holds no digest. The summary counts the shards'
// sequences and residues.
SequenceBuildSummary WriteShardManifest(const std::string& root, std::uint64_t shards);

}  // namespace brisel

#endif  // BRISEL_MAKEDB_SEQUENCE_BUILD_H
