// SPDX-License-Identifier: MIT
// length_statistics.cpp: the cut-off and checkpoints of one length, and the
// memo of all lengths met.
#include "statistics/length_statistics.h"

#include <cassert>
#include <cmath>
#include <limits>

#include "database/motif_database.h"

namespace brisel {

LengthStatistics::LengthStatistics(const MotifViews& motifs, std::uint64_t length,
                                   double cutoffExpectation)
    : motifs_(motifs), length_(length) {
  // One pass in database order finds the motif that passes the cut-off and
  // records E before every motif up to it.
  thread_local std::vector<double> before;
  before.clear();
  HitStatistics statistics;
  stop_ = MotifCountOf(motifs);
  for (std::uint32_t m = 0; m < stop_; ++m) {
    before.push_back(statistics.expectation);
    if (!MotifHasPlacement(motifs, m, length)) continue;
    if (!AddMotifExpectedRandomHits(statistics, motifs, m, length, cutoffExpectation)) {
      stop_ = m;
      break;
    }
  }
  interval_ = stop_ <= kCheckpointsPerLength
                  ? 1
                  : (stop_ + kCheckpointsPerLength - 1) / kCheckpointsPerLength;
  checkpointCount_ = stop_ == 0 ? 1 : (stop_ + interval_ - 1) / interval_;
  expectations_.resize(checkpointCount_);
  for (std::uint32_t c = 0; c < checkpointCount_; ++c) {
    expectations_[c] = c == 0 ? 0.0 : before[std::uint64_t{c} * interval_];
  }
  probabilities_ = std::make_unique<double[]>(checkpointCount_);
  probabilities_[0] = 1.0;
}

std::uint64_t LengthStatistics::MemoryBytes() const {
  return sizeof(*this) + std::uint64_t{checkpointCount_} * 2 * sizeof(double);
}

void LengthStatistics::ApplyExpectation(HitStatistics& statistics, std::uint32_t m) const {
  if (!MotifHasPlacement(motifs_, m, length_)) return;
  // Every motif below stop passes the cut-off; the sum is formed as when it
  // was tested.
  AddMotifExpectedRandomHits(statistics, motifs_, m, length_,
                             std::numeric_limits<double>::infinity());
}

void LengthStatistics::ApplyProbability(HitStatistics& statistics, std::uint32_t m) const {
  if (!MotifHasPlacement(motifs_, m, length_)) return;
  // pow(1, n) is exactly 1, so a specificity too small to change 1 - s leaves
  // P as it is; skipping the call changes no bit.
  if (1.0 - motifs_.specificities[m] == 1.0) return;
  MultiplyMotifProbabilityOfNoRandomHit(statistics, motifs_, m, length_);
}

double LengthStatistics::ProbabilityCheckpoint(std::uint32_t c) {
  if (c < probabilitiesReady_.load(std::memory_order_acquire)) return probabilities_[c];
  const std::lock_guard lock(extendMutex_);
  std::uint32_t ready = probabilitiesReady_.load(std::memory_order_relaxed);
  HitStatistics statistics;
  statistics.probabilityOfNoRandomHit = probabilities_[ready - 1];
  for (std::uint32_t m = (ready - 1) * interval_; ready <= c; ++m) {
    ApplyProbability(statistics, m);
    if (m + 1 == ready * interval_) {
      probabilities_[ready] = statistics.probabilityOfNoRandomHit;
      probabilitiesReady_.store(++ready, std::memory_order_release);
    }
  }
  return probabilities_[c];
}

const HitStatistics& LengthStatistics::Cursor::At(std::uint32_t m) {
  assert(m < statistics_.stop_);
  if (m + 1 == next_) return current_;
  assert(m >= next_);
  const std::uint32_t c = m / statistics_.interval_;
  const std::uint32_t checkpoint = c * statistics_.interval_;
  if (checkpoint > next_) {
    current_.expectation = statistics_.expectations_[c];
    current_.probabilityOfNoRandomHit = statistics_.ProbabilityCheckpoint(c);
    next_ = checkpoint;
  }
  for (; next_ <= m; ++next_) {
    statistics_.ApplyExpectation(current_, next_);
    statistics_.ApplyProbability(current_, next_);
  }
  return current_;
}

std::shared_ptr<LengthStatistics> LengthStatisticsMemo::ForLength(std::uint64_t length) {
  {
    const std::lock_guard lock(mutex_);
    if (auto found = lengths_.find(length); found != lengths_.end()) return found->second;
  }
  // Computed outside the lock: other lengths need not wait for this one.
  auto statistics = std::make_shared<LengthStatistics>(motifs_, length, cutoffExpectation_);
  const std::lock_guard lock(mutex_);
  auto [at, inserted] = lengths_.try_emplace(length, statistics);
  if (!inserted) return at->second;
  ++lengthsComputed_;
  bytes_ += statistics->MemoryBytes();
  if (bytes_ > kMemoBudgetBytes) {
    lengths_.clear();
    lengths_.emplace(length, statistics);
    bytes_ = statistics->MemoryBytes();
  }
  return statistics;
}

}  // namespace brisel
