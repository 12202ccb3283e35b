// SPDX-License-Identifier: MIT
// shard_plan.cpp: the census pass and the cut rules.
#include "sequences/shard_plan.h"

#include "staging/build_error.h"

namespace brisel {

InputCensus::InputCensus(std::uint64_t shardSize, SequenceLimits limits)
    : shardSize_(shardSize), limits_(limits) {}

void InputCensus::StartRecord(std::string_view name, const RecordPlace& place) {
  EndRecord();
  ++records_;
  open_ = true;
  length_ = 0;
  nameLength_ = name.size();
  if (shardSize_ > 0) {
    location_ = place.Prefix();
    name_ = name;
  }
}

void InputCensus::AddResidues(std::string_view residues, const RecordPlace&) {
  length_ += residues.size();
  residues_ += residues.size();
}

void InputCensus::EndRecord() {
  if (!open_) return;
  open_ = false;
  if (shardSize_ == 0) return;
  if (length_ > shardSize_) {
    throw BuildError(location_ + "sequence '" + name_ + "' has " + std::to_string(length_) +
                     " residues, more than the --shard-size of " + std::to_string(shardSize_));
  }
  const bool full = shardResidues_ + length_ > shardSize_ ||
                    shardRecords_ + 1 > limits_.maxSequences ||
                    shardNameChars_ + nameLength_ > limits_.maxBlockLength;
  if (shardRecords_ > 0 && full) {
    cuts_.push_back(records_ - 1);
    shardRecords_ = shardResidues_ = shardNameChars_ = 0;
  }
  ++shardRecords_;
  shardResidues_ += length_;
  shardNameChars_ += nameLength_;
}

void InputCensus::Finish() {
  EndRecord();
}

ShardPlan ShardPlan::ByCount(std::uint64_t shards, std::uint64_t records, std::uint64_t residues) {
  ShardPlan plan;
  plan.kind_ = Kind::kCount;
  plan.shards_ = shards;
  plan.records_ = records;
  plan.residues_ = residues;
  return plan;
}

ShardPlan ShardPlan::ByCuts(std::vector<std::uint64_t> cuts) {
  ShardPlan plan;
  plan.kind_ = Kind::kCuts;
  plan.cuts_ = std::move(cuts);
  plan.shards_ = plan.cuts_.size() + 1;
  return plan;
}

bool ShardPlan::CutBefore(std::uint64_t record, std::uint64_t residuesBefore) {
  if (current_ >= shards_) return false;
  bool cut = false;
  switch (kind_) {
    case Kind::kSingle:
      break;
    case Kind::kCount: {
      // residuesBefore / residues >= current / shards, in integers.
      const bool reached = static_cast<unsigned __int128>(residuesBefore) * shards_ >=
                           static_cast<unsigned __int128>(current_) * residues_;
      const bool needed = record >= records_ || records_ - record <= shards_ - current_;
      cut = reached || needed;
      break;
    }
    case Kind::kCuts:
      cut = cuts_[current_ - 1] == record;
      break;
  }
  if (cut) ++current_;
  return cut;
}

}  // namespace brisel
