// SPDX-License-Identifier: MIT
// window_choice.cpp: the windows of the motifs and the shapes of the tables.
#include "engine/window_choice.h"

#include <algorithm>
#include <bit>

#include "brisel.h"
#include "engine/residue_codes.h"

namespace {

constexpr int kLetters = 26;
// Letters without a background frequency (B, J, O, U, X, Z) still occur; a
// window of them is not free.
constexpr double kRareLetterFrequency = 0.001;
// Gapped windows are looked for among this many of a motif's most selective
// positions...
constexpr std::uint32_t kGappedCandidatePositions = 10;
// ...for motifs whose contiguous window matches more than this share of
// random residues: below it a gapped window cannot save enough to matter.
constexpr double kGappedWorthProbability = 1e-4;

// A motif's positions as the choice weighs them.
struct Positions {
  std::vector<double> probability;
  std::vector<std::uint32_t> letters;  // the letter classes it admits

  void Fill(const LetterOdds& odds, const WindowCandidate& motif) {
    probability.resize(motif.width);
    letters.resize(motif.width);
    for (std::uint32_t j = 0; j < motif.width; ++j) {
      probability[j] = odds.Probability(motif.masks[j]);
      letters[j] = static_cast<std::uint32_t>(std::popcount(ClassMask(motif.masks[j])));
    }
  }
};

// The window of `shape` with the lowest probability among those of at most
// kMaxWindowCombinations combinations, the earliest on ties.
MotifWindow BestWindowOfShape(const Positions& positions, const WindowShape& shape,
                              std::uint32_t table) {
  MotifWindow best;
  const auto width = static_cast<std::uint32_t>(positions.letters.size());
  const std::uint32_t span = shape.span();
  for (std::uint32_t offset = 0; offset + span <= width; ++offset) {
    std::uint64_t combinations = 1;
    double probability = 1.0;
    for (std::uint32_t i = 0; i < shape.size; ++i) {
      const std::uint32_t j = offset + shape.offsets[i];
      combinations *= positions.letters[j];
      probability *= positions.probability[j];
    }
    if (combinations > kMaxWindowCombinations) continue;
    if (probability < best.probability) best = {table, offset, probability};
  }
  return best;
}

// A gapped shape of kMaxWindow positions as one number (its last three
// offsets), for sorting.
std::uint32_t ShapeKey(const WindowShape& shape) {
  return std::uint32_t{shape.offsets[1]} | std::uint32_t{shape.offsets[2]} << 8 |
         std::uint32_t{shape.offsets[3]} << 16;
}
WindowShape ShapeOfKey(std::uint32_t key) {
  WindowShape shape;
  shape.size = kMaxWindow;
  shape.offsets = {0, static_cast<std::uint8_t>(key), static_cast<std::uint8_t>(key >> 8),
                   static_cast<std::uint8_t>(key >> 16)};
  return shape;
}

// One gapped window that a motif could use: its shape and probability.
struct GappedOption {
  std::uint32_t key;
  std::uint32_t motif;
  double probability;
};

// The gapped windows of a motif among its most selective positions (those
// that admit fewer than all letters), within the span and combination limits.
void AddGappedOptions(const Positions& positions, std::uint32_t motif,
                      std::vector<GappedOption>& options) {
  const auto width = static_cast<std::uint32_t>(positions.letters.size());
  std::vector<std::uint32_t> chosen;
  for (std::uint32_t j = 0; j < width; ++j) {
    if (positions.letters[j] < kClassRadix) chosen.push_back(j);
  }
  std::stable_sort(chosen.begin(), chosen.end(), [&](std::uint32_t a, std::uint32_t b) {
    return positions.probability[a] < positions.probability[b];
  });
  if (chosen.size() > kGappedCandidatePositions) chosen.resize(kGappedCandidatePositions);
  std::sort(chosen.begin(), chosen.end());
  const std::size_t n = chosen.size();
  const std::uint32_t contiguous = ShapeKey(ContiguousShape(kMaxWindow));
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = a + 1; b < n; ++b) {
      for (std::size_t c = b + 1; c < n; ++c) {
        for (std::size_t d = c + 1; d < n && chosen[d] - chosen[a] < kMaxShapeSpan; ++d) {
          const std::uint32_t at[kMaxWindow] = {chosen[a], chosen[b], chosen[c], chosen[d]};
          std::uint64_t combinations = 1;
          double probability = 1.0;
          for (const std::uint32_t j : at) {
            combinations *= positions.letters[j];
            probability *= positions.probability[j];
          }
          if (combinations > kMaxWindowCombinations || probability > kMaxWindowProbability) {
            continue;
          }
          WindowShape shape;
          shape.size = kMaxWindow;
          for (std::uint32_t i = 0; i < kMaxWindow; ++i)
            shape.offsets[i] = static_cast<std::uint8_t>(at[i] - at[0]);
          const std::uint32_t key = ShapeKey(shape);
          if (key != contiguous) options.push_back({key, motif, probability});
        }
      }
    }
  }
}

// Adds, round by round, the gapped shape whose windows save the most expected
// candidates per residue over `cost` (each motif's current cost), while that
// saving exceeds a table's cost and tables remain.
std::vector<WindowShape> ChooseGappedShapes(std::vector<GappedOption> options,
                                            std::vector<double>& cost, std::uint32_t tables) {
  std::sort(options.begin(), options.end(), [](const GappedOption& a, const GappedOption& b) {
    if (a.key != b.key) return a.key < b.key;
    if (a.motif != b.motif) return a.motif < b.motif;
    return a.probability < b.probability;
  });
  // One option per shape and motif: its best.
  options.erase(std::unique(options.begin(), options.end(),
                            [](const GappedOption& a, const GappedOption& b) {
                              return a.key == b.key && a.motif == b.motif;
                            }),
                options.end());
  std::vector<WindowShape> shapes;
  while (tables < kMaxTables && !options.empty()) {
    double bestGain = 0.0;
    std::size_t bestBegin = 0, bestEnd = 0;
    for (std::size_t begin = 0; begin < options.size();) {
      std::size_t end = begin;
      double gain = 0.0;
      for (; end < options.size() && options[end].key == options[begin].key; ++end)
        gain += std::max(0.0, cost[options[end].motif] - options[end].probability);
      if (gain > bestGain) {
        bestGain = gain;
        bestBegin = begin;
        bestEnd = end;
      }
      begin = end;
    }
    if (bestGain <= kTableCost) break;
    shapes.push_back(ShapeOfKey(options[bestBegin].key));
    for (std::size_t i = bestBegin; i < bestEnd; ++i) {
      double& c = cost[options[i].motif];
      c = std::min(c, options[i].probability);
    }
    options.erase(options.begin() + static_cast<std::ptrdiff_t>(bestBegin),
                  options.begin() + static_cast<std::ptrdiff_t>(bestEnd));
    ++tables;
  }
  return shapes;
}

}  // namespace

WindowShape ContiguousShape(std::uint32_t size) {
  WindowShape shape;
  shape.size = size;
  for (std::uint32_t i = 0; i < size; ++i)
    shape.offsets[i] = static_cast<std::uint8_t>(i);
  return shape;
}

LetterOdds::LetterOdds() {
  double frequencies[kCharToBitMapLength];
  InitializeCharToPercentageMap(frequencies);
  for (int k = 0; k < kLetters; ++k) {
    const double f = frequencies['A' + k];
    letterFrequency_[k] = f > kRareLetterFrequency ? f : kRareLetterFrequency;
  }
}

double LetterOdds::Probability(std::uint32_t mask) const {
  double sum = 0.0;
  for (mask &= kAllLettersMask; mask != 0; mask &= mask - 1) {
    sum += letterFrequency_[std::countr_zero(mask)];
  }
  return sum;
}

WindowPlan ChooseWindows(std::span<const WindowCandidate> motifs) {
  const LetterOdds odds;
  const std::size_t count = motifs.size();
  WindowPlan plan;
  plan.windows.assign(count, MotifWindow{});

  // Each motif's best contiguous window, and the gapped ones of motifs whose
  // contiguous window is poor or missing.
  const WindowShape contiguous = ContiguousShape(kMaxWindow);
  std::vector<double> cost(count, 0.0);
  std::vector<GappedOption> options;
  Positions positions;
  bool anyContiguous = false;
  for (std::uint32_t m = 0; m < count; ++m) {
    const WindowCandidate& motif = motifs[m];
    if (motif.masks == nullptr || motif.width < kMaxWindow) continue;
    positions.Fill(odds, motif);
    const MotifWindow window = BestWindowOfShape(positions, contiguous, 0);
    const bool usable = window.probability <= kMaxWindowProbability;
    anyContiguous = anyContiguous || usable;
    cost[m] = usable ? window.probability : positions.probability[motif.walkOffset];
    if (motif.width > kMaxWindow && cost[m] > kGappedWorthProbability) {
      AddGappedOptions(positions, m, options);
    }
  }
  std::vector<WindowShape> shapes;
  if (anyContiguous) shapes.push_back(contiguous);
  const std::vector<WindowShape> gapped =
      ChooseGappedShapes(std::move(options), cost, static_cast<std::uint32_t>(shapes.size()));
  shapes.insert(shapes.end(), gapped.begin(), gapped.end());

  // Every motif's best window among the shapes; only the shapes some motif
  // uses become tables.
  std::vector<std::uint32_t> used(shapes.size(), 0);
  for (std::uint32_t m = 0; m < count; ++m) {
    const WindowCandidate& motif = motifs[m];
    if (motif.masks == nullptr || motif.width < kMaxWindow) continue;
    positions.Fill(odds, motif);
    MotifWindow best;
    for (std::uint32_t t = 0; t < shapes.size(); ++t) {
      const MotifWindow window = BestWindowOfShape(positions, shapes[t], t);
      if (window.probability < best.probability) best = window;
    }
    if (best.probability > kMaxWindowProbability) best = MotifWindow{};
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
