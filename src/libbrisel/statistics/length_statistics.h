// SPDX-License-Identifier: MIT
// length_statistics.h: the cut-off and the hit-line statistics of each
// sequence length, computed once per distinct length.
//
// For a sequence of length L, which motifs are tried and the expectation E and
// probability P that a hit line of motif m shows depend only on L, the motif
// database and the cut-off. LengthStatistics holds, for one L:
// - stop: the motifs tried are those below `stop` that have a placement in a
//   sequence of length L (not wider than L, and for anchored motifs as
//   motif_database.h says);
//   motif `stop` (if any) is the one whose expected random hits carried the
//   unrounded sum past the cut-off;
// - checkpoints every `interval` motifs: E and P with the motifs before the
//   checkpoint applied. A hit line's E and P are carried forward from the
//   checkpoint at or before its motif by the operations of hit_statistics.h, motif
//   by motif in database order: the same operations in the same order as a
//   search that applies every motif in turn, so the same bits.
// E's checkpoints are filled when the length is first met (that pass also finds
// `stop`); P's, which cost a pow per motif, only as far as hit lines need them.
//
// Thread safety: a LengthStatistics is shared by every thread that meets its
// length. E's checkpoints are immutable; P's are extended under a mutex and
// published through an atomic count, so readers of published checkpoints take
// no lock.
//
// LengthStatisticsMemo maps lengths to their statistics. Its memory is bounded:
// when the checkpoints held pass kMemoBudgetBytes it forgets every length
// (callers keep theirs alive through shared_ptr).
#ifndef BRISEL_STATISTICS_LENGTH_STATISTICS_H
#define BRISEL_STATISTICS_LENGTH_STATISTICS_H

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "database/motif_database.h"
#include "statistics/hit_statistics.h"

namespace brisel {

inline constexpr std::uint32_t kCheckpointsPerLength = 256;
inline constexpr std::uint64_t kMemoBudgetBytes = std::uint64_t{24} << 20;

class LengthStatistics {
 public:
  LengthStatistics(const MotifViews& motifs, std::uint64_t length, double cutoffExpectation);

  std::uint64_t length() const { return length_; }
  std::uint32_t stop() const { return stop_; }
  std::uint64_t MemoryBytes() const;

  // E and P including every tried motif up to `m` (m below stop, with a
  // placement at this length). Calls must come with non-decreasing m for one cursor.
  class Cursor {
   public:
    explicit Cursor(LengthStatistics& statistics) : statistics_(statistics) {}
    const HitStatistics& At(std::uint32_t m);

   private:
    LengthStatistics& statistics_;
    HitStatistics current_;
    std::uint32_t next_ = 0;  // the first motif not applied to current_
  };

 private:
  void ApplyExpectation(HitStatistics& statistics, std::uint32_t m) const;
  void ApplyProbability(HitStatistics& statistics, std::uint32_t m) const;
  // P at checkpoint c, computing the checkpoints up to it if needed.
  double ProbabilityCheckpoint(std::uint32_t c);

  const MotifViews& motifs_;
  const std::uint64_t length_;
  std::uint32_t stop_ = 0;
  std::uint32_t interval_ = 1;
  std::vector<double> expectations_;         // E before motif c x interval_
  std::unique_ptr<double[]> probabilities_;  // P before motif c x interval_
  std::uint32_t checkpointCount_ = 0;
  std::atomic<std::uint32_t> probabilitiesReady_{1};
  std::mutex extendMutex_;
};

class LengthStatisticsMemo {
 public:
  LengthStatisticsMemo(const MotifViews& motifs, double cutoffExpectation)
      : motifs_(motifs), cutoffExpectation_(cutoffExpectation) {}

  std::shared_ptr<LengthStatistics> ForLength(std::uint64_t length);

  // Lengths computed so far (forgotten ones included).
  std::uint64_t lengthsComputed() const { return lengthsComputed_; }

 private:
  const MotifViews& motifs_;
  const double cutoffExpectation_;
  std::mutex mutex_;
  std::unordered_map<std::uint64_t, std::shared_ptr<LengthStatistics>> lengths_;
  std::uint64_t bytes_ = 0;
  std::uint64_t lengthsComputed_ = 0;
};

}  // namespace brisel

#endif  // BRISEL_STATISTICS_LENGTH_STATISTICS_H
