// SPDX-License-Identifier: MIT
// fasta_split.h: "brisel-makedb split", the records of each shard as FASTA.
//
// The input is counted and planned exactly as a sharded build plans it
// (PlanShards, shard_plan.h), then read once more, and the records of shard K
// are written as plain FASTA to PREFIX.K.fasta. A piece holds each record's
// name and residues as the FASTA reader hands them out (spaces, tabs and
// carriage returns removed, one line for each piece of a sequence line), so
// that `brisel-makedb sequences PREFIX.K.fasta ROOT.K` builds byte for byte the
// shard K of `brisel-makedb sequences --shards N INPUT ROOT`, and the shards
// can be built at the same time, on as many machines. Two kinds of line are
// written with care for that: a name that ends in a carriage return gets one
// more (the reader takes one off), and a residue line that starts with '>' is
// written after a space (which the reader removes) so that it is not read as
// a name line; and a piece whose first name holds a carriage return that more
// bytes follow starts with a blank line, as the reader refuses such a first
// line (the mark of carriage-return line ends).
//
// The pieces take about the input's uncompressed size on disk. They are
// staged together and renamed into place at the end (staged_files.h): a
// failed or interrupted split leaves no piece behind.
#ifndef BRISEL_MAKEDB_FASTA_SPLIT_H
#define BRISEL_MAKEDB_FASTA_SPLIT_H

#include <cstdint>
#include <string>

#include "sequences/sequence_build.h"
#include "sequences/sequence_builder.h"

namespace brisel {

struct SplitSummary {
  std::uint64_t sequences = 0;
  std::uint64_t residues = 0;
  std::uint64_t pieces = 0;
};

// "PREFIX.K.fasta".
std::string PiecePath(const std::string& prefix, std::uint64_t piece);

// Splits job.input into the pieces of the shards that job.shards or
// job.shardSize plan, at job.root as PREFIX. Throws BuildError, also when a
// piece would hold more than one database can.
SplitSummary SplitSequences(const SequenceJob& job, SequenceLimits limits = {});

}  // namespace brisel

#endif  // BRISEL_MAKEDB_FASTA_SPLIT_H
