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
#include <functional>
#include <memory>
#include <string_view>

#include "fasta_reader.h"
#include "input/input_file.h"
#include "input/record_source.h"
#include "makedb_command_line.h"
#include "sequence_builder.h"
#include "shard_plan.h"

struct SequenceBuildSummary {
  std::uint64_t sequences = 0;
  std::uint64_t residues = 0;
  std::uint64_t shards = 0;  // 0: one database, no manifest
};

// One whole pass over the records of a build's input, into `sink`.
using RecordPass = std::function<void(FastaSink& sink)>;

// Counts `input` and plans the shards that `options` asks for (--shards or
// --shard-size); `records` and `residues` receive the counts. Throws
// BuildError when the input is a pipe, holds no record, or cannot be split as
// asked.
ShardPlan PlanShards(const MakedbOptions& options, InputFile& input, SequenceLimits limits,
                     std::uint64_t& records, std::uint64_t& residues);
// The same plan from one pass over any input, named `inputName` in messages.
ShardPlan PlanShards(const MakedbOptions& options, std::string_view inputName,
                     const RecordPass& census, SequenceLimits limits, std::uint64_t& records,
                     std::uint64_t& residues);

// Builds what `options` asks for. Throws BuildError.
SequenceBuildSummary BuildSequenceDatabases(const MakedbOptions& options,
                                            SequenceLimits limits = {},
                                            std::size_t heldResidues = kDefaultHeldResidues);

// Starts a new pass over the same records, from the first.
using RecordSourceOpener = std::function<std::unique_ptr<RecordSource>()>;

// Builds what `options` asks for (options.input unused) from the records
// that `open` gives (fasta_reader.h, ReadSourceRecords), named `inputName` in
// messages: one pass, two when sharded. Throws BuildError.
SequenceBuildSummary BuildSequenceDatabasesFromRecords(
    const MakedbOptions& options, std::string_view inputName, const RecordSourceOpener& open,
    SequenceLimits limits = {}, std::size_t heldResidues = kDefaultHeldResidues);

#endif  // BRISEL_MAKEDB_SEQUENCE_BUILD_H
