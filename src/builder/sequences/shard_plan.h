// SPDX-License-Identifier: MIT
// shard_plan.h: where a sharded sequence database is split.
//
// Shards follow the input order and are split only between records, and no
// shard is empty. Both ways of sharding read the input twice: a census first,
// then the build, which asks the plan before each record whether it starts a
// new shard.
// - By count (--shards N): shard k (of N) ends with the first record at whose
//   end the residues so far reach k/N of the total, or earlier when each
//   record left must open a shard of its own for all N to be filled. So every
//   shard holds about total/N residues, give or take one record.
// - By size (--shard-size SIZE): a shard takes records while their residues
//   stay within SIZE and their count and name characters within the limits of
//   one database; the census finds the cuts. A record longer than SIZE is an
//   error.
#ifndef BRISEL_MAKEDB_SHARD_PLAN_H
#define BRISEL_MAKEDB_SHARD_PLAN_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sequences/fasta_reader.h"
#include "sequences/sequence_builder.h"

namespace brisel {

// The records of an input, counted without building anything, and for a size
// cap the records that start each shard after the first.
class InputCensus {
 public:
  // `shardSize`: 0 for no cap.
  InputCensus(std::uint64_t shardSize, SequenceLimits limits);

  void StartRecord(std::string_view name, const RecordPlace& place);
  void AddResidues(std::string_view residues, const RecordPlace& place);
  // Ends the last record. Throws BuildError for a record longer than the cap.
  void Finish();

  std::uint64_t records() const { return records_; }
  std::uint64_t residues() const { return residues_; }
  // Indexes (from 0) of the records that open shards 2, 3, ...
  const std::vector<std::uint64_t>& cuts() const { return cuts_; }

 private:
  void EndRecord();

  std::uint64_t shardSize_;
  SequenceLimits limits_;
  std::uint64_t records_ = 0;
  std::uint64_t residues_ = 0;
  std::vector<std::uint64_t> cuts_;
  // The open record, for the cap.
  bool open_ = false;
  std::uint64_t length_ = 0;
  std::uint64_t nameLength_ = 0;
  std::string location_;  // "<input>:<line>: " of its name line
  std::string name_;
  // The shard being filled.
  std::uint64_t shardRecords_ = 0, shardResidues_ = 0, shardNameChars_ = 0;
};

class ShardPlan {
 public:
  // Never cuts: one database.
  static ShardPlan Single() { return ShardPlan(); }
  // N shards of about equal residues, from the census's totals.
  static ShardPlan ByCount(std::uint64_t shards, std::uint64_t records, std::uint64_t residues);
  // The census's cuts.
  static ShardPlan ByCuts(std::vector<std::uint64_t> cuts);

  // Whether record `record` (from 0, never the first) opens a new shard, when
  // the records before it hold `residuesBefore` residues. Called once per
  // record, in order.
  bool CutBefore(std::uint64_t record, std::uint64_t residuesBefore);

 private:
  enum class Kind { kSingle, kCount, kCuts };
  Kind kind_ = Kind::kSingle;
  std::uint64_t shards_ = 1, records_ = 0, residues_ = 0;
  std::uint64_t current_ = 1;  // the shard being filled, from 1
  std::vector<std::uint64_t> cuts_;
};

}  // namespace brisel

#endif  // BRISEL_MAKEDB_SHARD_PLAN_H
