// SPDX-License-Identifier: MIT
// window_choice.cpp: the windows of the motifs and the shapes of the tables.
#include "engine/window_choice.h"

#include <algorithm>
#include <bit>

#include "engine/residue_codes.h"

namespace brisel {

namespace {

// Letters without a background frequency (B, J, O, U, X, Z) still occur; a
// window of them is not free.
constexpr double kRareLetterFrequency = 0.001;
// Gapped windows are looked for among this many of a motif's most selective
// positions...
constexpr std::uint32_t kGappedCandidatePositions = 10;
// ...for motifs whose contiguous window costs more than this: below it a
// gapped window cannot save enough to matter.
constexpr double kGappedWorthCost = 1e-3;
// A step of a motif's walk (a placement tried at each occurrence of a homing
// letter) as a share of a window's cost.
constexpr double kWalkStepCost = 0.3;

// What a window costs per residue: the windows of its bucket, which the
// `sharing` motifs whose windows have the same shape and letters share, and
// the motif's own test at each of them, a small share of a window's cost.
double WindowCost(double probability, std::uint64_t sharing) {
  return probability * (1.0 / static_cast<double>(sharing) + kMotifInBucketCost);
}

// A motif's positions as the choice weighs them.
struct Positions {
  const double* probability;
  const std::uint32_t* classes;  // the letter classes each admits
  const std::uint32_t* count;    // how many
  std::uint32_t width;
};

// The positions of every motif, weighed once.
class AllPositions {
 public:
  AllPositions(const LetterOdds& odds, std::span<const WindowCandidate> motifs) {
    for (const WindowCandidate& motif : motifs) {
      starts_.push_back(probability_.size());
      if (motif.masks == nullptr) continue;
      for (std::uint32_t j = 0; j < motif.width; ++j) {
        probability_.push_back(odds.Probability(motif.masks[j]));
        classes_.push_back(ClassMask(motif.masks[j]));
        count_.push_back(static_cast<std::uint32_t>(std::popcount(classes_.back())));
      }
    }
    starts_.push_back(probability_.size());
  }
  Positions Of(std::uint32_t m) const {
    const std::size_t at = starts_[m];
    return {probability_.data() + at, classes_.data() + at, count_.data() + at,
            static_cast<std::uint32_t>(starts_[m + 1] - at)};
  }

 private:
  std::vector<std::size_t> starts_;
  std::vector<double> probability_;
  std::vector<std::uint32_t> classes_;
  std::vector<std::uint32_t> count_;
};

// The letters of a window (its positions' classes, in order) as one number:
// windows of one shape with the same letters have the same buckets.
std::uint64_t LettersKey(const Positions& positions, const WindowShape& shape,
                         std::uint32_t offset) {
  std::uint64_t key = shape.size;
  for (std::uint32_t i = 0; i < shape.size; ++i) {
    key = (key ^ positions.classes[offset + shape.offsets[i]]) * 0x9E3779B97F4A7C15u;
    key ^= key >> 29;
  }
  return key;
}

// A window of one shape in one motif.
struct Placement {
  std::uint32_t offset = 0;
  double probability = 2.0;  // none found yet
  std::uint64_t letters = 0;
};

// The window of `shape` with the lowest probability among those of at most
// kMaxWindowCombinations combinations, the earliest on ties.
Placement BestWindowOfShape(const Positions& positions, const WindowShape& shape) {
  Placement best;
  const std::uint32_t width = positions.width;
  const std::uint32_t span = shape.span();
  for (std::uint32_t offset = 0; offset + span <= width; ++offset) {
    std::uint64_t combinations = 1;
    double probability = 1.0;
    for (std::uint32_t i = 0; i < shape.size; ++i) {
      const std::uint32_t j = offset + shape.offsets[i];
      combinations *= positions.count[j];
      probability *= positions.probability[j];
    }
    if (combinations > kMaxWindowCombinations) continue;
    if (probability < best.probability) best = {offset, probability, 0};
  }
  if (best.probability <= 1.0) best.letters = LettersKey(positions, shape, best.offset);
  return best;
}

// A shape as one number (its size and offsets), for sorting.
std::uint32_t ShapeKey(const WindowShape& shape) {
  return std::uint32_t{shape.offsets[1]} | std::uint32_t{shape.offsets[2]} << 8 |
         std::uint32_t{shape.offsets[3]} << 16 | shape.size << 24;
}
WindowShape ShapeOfKey(std::uint32_t key) {
  WindowShape shape;
  shape.size = key >> 24;
  shape.offsets = {0, static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                   static_cast<std::uint8_t>(key >> 16)};
  return shape;
}

// One gapped window that a motif could use.
struct GappedOption {
  std::uint32_t shape;  // ShapeKey
  std::uint32_t motif;
  std::uint64_t letters;
  double probability;
};

// The gapped windows of three or four of a motif's most selective positions
// (those that admit fewer than all letters), within the span and combination
// limits.
void AddGappedOptions(const Positions& positions, std::uint32_t motif,
                      std::vector<GappedOption>& options) {
  const std::uint32_t width = positions.width;
  std::vector<std::uint32_t> chosen;
  for (std::uint32_t j = 0; j < width; ++j) {
    if (positions.count[j] < kClassRadix) chosen.push_back(j);
  }
  std::stable_sort(chosen.begin(), chosen.end(), [&](std::uint32_t a, std::uint32_t b) {
    return positions.probability[a] < positions.probability[b];
  });
  if (chosen.size() > kGappedCandidatePositions) chosen.resize(kGappedCandidatePositions);
  std::sort(chosen.begin(), chosen.end());
  const std::size_t n = chosen.size();
  const std::uint32_t contiguous = ShapeKey(ContiguousShape(kMaxWindow));
  std::uint32_t at[kMaxWindow];
  // Subsets of `size` positions, in ascending order, by recursion over the next.
  const auto visit = [&](auto& self, std::size_t from, std::uint32_t taken,
                         std::uint32_t size) -> void {
    if (taken == size) {
      WindowShape shape;
      shape.size = size;
      std::uint64_t combinations = 1;
      double probability = 1.0;
      for (std::uint32_t i = 0; i < size; ++i) {
        shape.offsets[i] = static_cast<std::uint8_t>(at[i] - at[0]);
        combinations *= positions.count[at[i]];
        probability *= positions.probability[at[i]];
      }
      if (combinations > kMaxWindowCombinations || probability > kMaxWindowProbability) return;
      const std::uint32_t key = ShapeKey(shape);
      if (key == contiguous) return;
      options.push_back({key, motif, LettersKey(positions, shape, at[0]), probability});
      return;
    }
    for (std::size_t k = from; k < n; ++k) {
      if (taken > 0 && chosen[k] - at[0] >= kMaxShapeSpan) break;
      at[taken] = chosen[k];
      self(self, k + 1, taken + 1, size);
    }
  };
  for (std::uint32_t size = kMaxWindow - 1; size <= kMaxWindow; ++size)
    visit(visit, 0, 0, size);
}

// Adds, round by round, the gapped shape whose windows save the most cost
// per residue against `cost` (each motif's current cost), counting the
// motifs that would share each window, while that saving exceeds a table's
// cost and tables remain.
std::vector<WindowShape> ChooseGappedShapes(std::vector<GappedOption> options,
                                            std::vector<double>& cost, std::uint32_t tables) {
  // One option per shape and motif, its best; then by shape and letters.
  std::sort(options.begin(), options.end(), [](const GappedOption& a, const GappedOption& b) {
    if (a.shape != b.shape) return a.shape < b.shape;
    if (a.motif != b.motif) return a.motif < b.motif;
    return a.probability < b.probability;
  });
  options.erase(std::unique(options.begin(), options.end(),
                            [](const GappedOption& a, const GappedOption& b) {
                              return a.shape == b.shape && a.motif == b.motif;
                            }),
                options.end());
  std::stable_sort(options.begin(), options.end(),
                   [](const GappedOption& a, const GappedOption& b) {
                     if (a.shape != b.shape) return a.shape < b.shape;
                     return a.letters < b.letters;
                   });
  // Each option's cost once its shape is a table: its letters' sharers.
  std::vector<double> optionCost(options.size());
  for (std::size_t begin = 0; begin < options.size();) {
    std::size_t end = begin;
    while (end < options.size() && options[end].shape == options[begin].shape &&
           options[end].letters == options[begin].letters)
      ++end;
    for (std::size_t i = begin; i < end; ++i)
      optionCost[i] = WindowCost(options[i].probability, end - begin);
    begin = end;
  }
  std::vector<WindowShape> shapes;
  std::vector<bool> taken(options.size(), false);
  while (tables < kMaxTables) {
    double bestGain = 0.0;
    std::size_t bestBegin = 0, bestEnd = 0;
    for (std::size_t begin = 0; begin < options.size();) {
      std::size_t end = begin;
      double gain = 0.0;
      for (; end < options.size() && options[end].shape == options[begin].shape; ++end) {
        if (!taken[end]) gain += std::max(0.0, cost[options[end].motif] - optionCost[end]);
      }
      if (gain > bestGain) {
        bestGain = gain;
        bestBegin = begin;
        bestEnd = end;
      }
      begin = end;
    }
    if (bestGain <= kTableCost) break;
    shapes.push_back(ShapeOfKey(options[bestBegin].shape));
    for (std::size_t i = bestBegin; i < bestEnd; ++i) {
      double& c = cost[options[i].motif];
      c = std::min(c, optionCost[i]);
      taken[i] = true;
    }
    ++tables;
  }
  return shapes;
}

// For each motif's window (of one shape), how many motifs' usable windows
// have the same letters.
std::vector<std::uint64_t> Sharing(const std::vector<Placement>& windows) {
  std::vector<std::uint64_t> keys;
  for (const Placement& window : windows) {
    if (window.probability <= kMaxWindowProbability) keys.push_back(window.letters);
  }
  std::sort(keys.begin(), keys.end());
  std::vector<std::uint64_t> sharing(windows.size(), 1);
  for (std::size_t m = 0; m < windows.size(); ++m) {
    if (windows[m].probability > kMaxWindowProbability) continue;
    const auto range = std::equal_range(keys.begin(), keys.end(), windows[m].letters);
    sharing[m] = static_cast<std::uint64_t>(range.second - range.first);
  }
  return sharing;
}

}  // namespace

WindowShape ContiguousShape(std::uint32_t size) {
  WindowShape shape;
  shape.size = size;
  for (std::uint32_t i = 0; i < size; ++i)
    shape.offsets[i] = static_cast<std::uint8_t>(i);
  return shape;
}

LetterOdds::LetterOdds() : letterFrequency_(BackgroundLetterFrequencies()) {
  for (double& f : letterFrequency_)
    f = f > kRareLetterFrequency ? f : kRareLetterFrequency;
}

WindowPlan ChooseWindows(std::span<const WindowCandidate> motifs) {
  const LetterOdds odds;
  const std::size_t count = motifs.size();
  WindowPlan plan;
  plan.windows.assign(count, MotifWindow{});

  // Each motif's best contiguous window and its cost, the motifs that share
  // its letters counted; the gapped windows of motifs whose contiguous window
  // costs much or is missing.
  const WindowShape contiguous = ContiguousShape(kMaxWindow);
  const AllPositions all(odds, motifs);
  std::vector<Placement> first(count);
  std::vector<double> cost(count, 0.0);
  for (std::uint32_t m = 0; m < count; ++m) {
    const WindowCandidate& motif = motifs[m];
    if (motif.masks == nullptr || motif.width < kMaxWindow) continue;
    first[m] = BestWindowOfShape(all.Of(m), contiguous);
  }
  const std::vector<std::uint64_t> firstSharing = Sharing(first);
  std::vector<GappedOption> options;
  bool anyContiguous = false;
  for (std::uint32_t m = 0; m < count; ++m) {
    const WindowCandidate& motif = motifs[m];
    if (motif.masks == nullptr || motif.width < kMaxWindow) continue;
    const Positions positions = all.Of(m);
    const bool usable = first[m].probability <= kMaxWindowProbability;
    anyContiguous = anyContiguous || usable;
    cost[m] = usable ? WindowCost(first[m].probability, firstSharing[m])
                     : kWalkStepCost * positions.probability[motif.walkOffset];
    if (motif.width > kMaxWindow && cost[m] > kGappedWorthCost) {
      AddGappedOptions(positions, m, options);
    }
  }
  std::vector<WindowShape> shapes;
  if (anyContiguous) shapes.push_back(contiguous);
  const std::vector<WindowShape> gapped =
      ChooseGappedShapes(std::move(options), cost, static_cast<std::uint32_t>(shapes.size()));
  shapes.insert(shapes.end(), gapped.begin(), gapped.end());

  // Every motif's best window of each shape, the motifs sharing its letters
  // counted; each motif takes the cheapest; only the shapes some motif uses
  // become tables.
  std::vector<std::vector<Placement>> placed(shapes.size());
  std::vector<std::vector<std::uint64_t>> sharing(shapes.size());
  for (std::uint32_t t = 0; t < shapes.size(); ++t) {
    placed[t].resize(count);
    for (std::uint32_t m = 0; m < count; ++m) {
      const WindowCandidate& motif = motifs[m];
      if (motif.masks == nullptr || motif.width < kMaxWindow) continue;
      placed[t][m] = BestWindowOfShape(all.Of(m), shapes[t]);
    }
    sharing[t] = Sharing(placed[t]);
  }
  std::vector<std::uint32_t> used(shapes.size(), 0);
  for (std::uint32_t m = 0; m < count; ++m) {
    MotifWindow best;
    double bestCost = 3.0;
    for (std::uint32_t t = 0; t < shapes.size(); ++t) {
      const Placement& window = placed[t][m];
      if (window.probability > kMaxWindowProbability) continue;
      const double windowCost = WindowCost(window.probability, sharing[t][m]);
      if (windowCost < bestCost) {
        bestCost = windowCost;
        best = {t, window.offset, window.probability};
      }
    }
    if (best.table != kNoTable) ++used[best.table];
    plan.windows[m] = best;
  }
  std::vector<std::uint32_t> renumbered(shapes.size(), kNoTable);
  for (std::uint32_t t = 0; t < shapes.size(); ++t) {
    if (used[t] == 0) continue;
    renumbered[t] = static_cast<std::uint32_t>(plan.shapes.size());
    plan.shapes.push_back(shapes[t]);
  }
  for (MotifWindow& window : plan.windows) {
    if (window.table != kNoTable) window.table = renumbered[window.table];
  }
  return plan;
}

}  // namespace brisel
