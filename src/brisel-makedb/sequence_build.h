// SPDX-License-Identifier: MIT
// sequence_build.h: "brisel-makedb sequences", one database or shards.
//
// Without sharding the input is read once and streamed into the database at
// ROOT. With --shards or --shard-size the input, which must then be a regular
// file (plain or compressed) so that it can be read twice, is first counted (see
// shard_plan.h) and then streamed into the databases ROOT.1, ROOT.2, ...; the
// manifest ROOT.shards lists their roots, relative to its own directory, one
// per line in input order. Every file of every shard and the manifest are
// staged together and renamed into place at the end, the manifest last, so a
// failed or interrupted build leaves nothing behind.
#ifndef BRISEL_MAKEDB_SEQUENCE_BUILD_H
#define BRISEL_MAKEDB_SEQUENCE_BUILD_H

#include <cstdint>

#include "input_file.h"
#include "makedb_command_line.h"
#include "sequence_builder.h"
#include "shard_plan.h"

struct SequenceBuildSummary {
  std::uint64_t sequences = 0;
  std::uint64_t residues = 0;
  std::uint64_t shards = 0;  // 0: one database, no manifest
};

// Counts `input` and plans the shards that `options` asks for (--shards or
// --shard-size); `records` and `residues` receive the counts. Throws
// BuildError when the input is a pipe, holds no record, or cannot be split as
// asked.
ShardPlan PlanShards(const MakedbOptions& options, InputFile& input, SequenceLimits limits,
                     std::uint64_t& records, std::uint64_t& residues);

// Builds what `options` asks for. Throws BuildError.
SequenceBuildSummary BuildSequenceDatabases(const MakedbOptions& options,
                                            SequenceLimits limits = {},
                                            std::size_t heldResidues = kDefaultHeldResidues);

#endif  // BRISEL_MAKEDB_SEQUENCE_BUILD_H
