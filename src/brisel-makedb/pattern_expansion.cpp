// SPDX-License-Identifier: MIT
// pattern_expansion.cpp: the walk over a pattern's choices of repeat counts
// that keeps each distinct motif once. See pattern_expansion.h.
#include "pattern_expansion.h"

#include <algorithm>
#include <limits>
#include <unordered_map>
#include <unordered_set>

namespace {

std::size_t MixHash(std::size_t seed, std::uint64_t value) {
  // The 64-bit finaliser of MurmurHash3 over the combined value.
  std::uint64_t h = seed ^ (value + 0x9E3779B97F4A7C15u + (seed << 6) + (seed >> 2));
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53u;
  h ^= h >> 33;
  return static_cast<std::size_t>(h);
}

// A prefix id tagged with a level of the walk, or with a motif's anchor.
struct TaggedPrefix {
  std::size_t tag;
  std::size_t prefix;
  bool operator==(const TaggedPrefix&) const = default;
};

struct TaggedPrefixHash {
  std::size_t operator()(const TaggedPrefix& key) const { return MixHash(key.tag, key.prefix); }
};

struct RunKey {
  std::size_t previous;
  std::uint32_t mask;
  std::uint64_t length;
  bool operator==(const RunKey&) const = default;
};

struct RunKeyHash {
  std::size_t operator()(const RunKey& key) const {
    return MixHash(MixHash(key.previous, key.mask), key.length);
  }
};

// Whether two choices of repeat counts can give the same motif. Within a form,
// let two choices first differ at element t, the first with fewer repeats there:
// the position past its repeats of t is then made by t in the second choice and,
// in the first, by a later element u of the same letters with every element
// between absent. So a form repeats no motif unless some range t is followed,
// past elements that allow 0 repeats, by an element u of t's mask. The forms of
// a pattern differ in their anchors, or else they may share motifs.
bool MayRepeatMotifs(const std::vector<PatternForm>& forms) {
  if (forms.size() == 2 && forms[0].anchor == forms[1].anchor) return true;
  for (const PatternForm& form : forms) {
    // The masks of the ranges that every element since may leave out.
    std::unordered_set<std::uint32_t> open;
    for (const PatternElement& e : form.elements) {
      if (open.contains(e.mask)) return true;
      if (e.minRepeats > 0) open.clear();
      if (e.minRepeats < e.maxRepeats) open.insert(e.mask);
    }
  }
  return false;
}

// A form's element for the walk: neighbours of the same mask joined.
struct Span {
  std::uint32_t mask;
  std::uint64_t minRepeats;
  std::uint64_t maxRepeats;
};

// The elements of a form with neighbours of the same mask joined into one
// range and elements of no repeats left out: A-x(1,2)-x(0,0)-x(1,2) is
// A-x(2,4). The motifs are the same and so is the order in which they first
// appear: within joined elements the choices are met in ascending order of
// their total.
std::vector<Span> JoinedSpans(const std::vector<PatternElement>& elements) {
  std::vector<Span> spans;
  for (const PatternElement& e : elements) {
    if (e.maxRepeats == 0) continue;
    if (!spans.empty() && spans.back().mask == e.mask) {
      spans.back().minRepeats += e.minRepeats;
      spans.back().maxRepeats += e.maxRepeats;
    } else {
      spans.push_back({e.mask, e.minRepeats, e.maxRepeats});
    }
  }
  return spans;
}

// The number of choices of a form, or cap + 1 if it is more than `cap`.
std::uint64_t CountChoices(const PatternForm& form, std::uint64_t cap) {
  std::uint64_t count = 1;
  for (const PatternElement& e : form.elements) {
    const std::uint64_t choices = std::uint64_t{e.maxRepeats} - e.minRepeats + 1;
    if (count > (cap + 1) / choices) return cap + 1;
    count *= choices;
  }
  return std::min(count, cap + 1);
}

// The widths of every choice of a form together.
std::uint64_t CountChoicePositions(const PatternForm& form) {
  const std::vector<PatternElement>& elements = form.elements;
  std::vector<std::uint32_t> repeats;
  std::uint64_t width = 0;
  for (const PatternElement& e : elements) {
    repeats.push_back(e.minRepeats);
    width += e.minRepeats;
  }
  std::uint64_t total = width;
  for (;;) {
    std::size_t i = elements.size();
    while (i > 0 && repeats[i - 1] == elements[i - 1].maxRepeats) {
      width -= repeats[i - 1] - elements[i - 1].minRepeats;
      repeats[i - 1] = elements[i - 1].minRepeats;
      --i;
    }
    if (i == 0) return total;
    ++repeats[i - 1];
    ++width;
    total += width;
  }
}

}  // namespace

class ExpansionWalk {
 public:
  ExpansionWalk(DistinctMotifs& result, std::uint64_t maxMotifs, std::uint64_t maxSteps)
      : result_(result), maxMotifs_(maxMotifs), maxSteps_(maxSteps) {}

  // Walks the choices of one form; false once the walk has stopped.
  bool WalkForm(const PatternForm& form) {
    const std::vector<Span> spans = JoinedSpans(form.elements);
    std::vector<std::size_t> ranges;  // the spans with a choice of counts
    for (std::size_t i = 0; i < spans.size(); ++i) {
      if (spans[i].minRepeats < spans[i].maxRepeats) ranges.push_back(i);
    }
    const auto nextRange = [&](std::size_t level) {
      return level < ranges.size() ? ranges[level] : spans.size();
    };

    std::size_t start = 0;
    if (!AppendFixed(start, spans, 0, nextRange(0))) return false;
    if (ranges.empty()) return AddMotif(start, form.anchor);

    // The prefixes followed so far at each level (a level is the range whose
    // count is chosen next), tagged with the level.
    std::unordered_set<TaggedPrefix, TaggedPrefixHash> followed;
    struct Frame {
      std::size_t level;
      std::size_t prefix;   // before the level's range
      std::uint64_t count;  // the next count to try
    };
    std::vector<Frame> stack = {{0, start, spans[ranges[0]].minRepeats}};
    while (!stack.empty()) {
      Frame& frame = stack.back();
      const Span& range = spans[ranges[frame.level]];
      if (frame.count > range.maxRepeats) {
        stack.pop_back();
        continue;
      }
      const std::uint64_t count = frame.count++;
      const std::size_t level = frame.level + 1;
      std::size_t prefix = frame.prefix;
      if (!Step() || !Append(prefix, range.mask, count) ||
          !AppendFixed(prefix, spans, ranges[frame.level] + 1, nextRange(level))) {
        return false;
      }
      if (level == ranges.size()) {
        if (!AddMotif(prefix, form.anchor)) return false;
        continue;
      }
      if (!followed.insert({level, prefix}).second) continue;
      stack.push_back({level, prefix, spans[ranges[level]].minRepeats});
    }
    return true;
  }

 private:
  bool Stop(DistinctMotifs::Outcome outcome) {
    result_.outcome_ = outcome;
    return false;
  }

  bool Step() { return ++steps_ <= maxSteps_ || Stop(DistinctMotifs::Outcome::kTooManySteps); }

  // Extends `prefix` by `count` positions of `mask`.
  bool Append(std::size_t& prefix, std::uint32_t mask, std::uint64_t count) {
    if (count == 0) return true;
    if (!Step()) return false;
    const DistinctMotifs::Run& last = result_.runs_[prefix];
    RunKey key = {prefix, mask, count};
    const std::uint64_t width = last.width + count;
    if (prefix != 0 && last.mask == mask) key = {last.previous, mask, last.length + count};
    const auto [at, added] = interned_.try_emplace(key, result_.runs_.size());
    if (added) result_.runs_.push_back({key.previous, mask, key.length, width});
    prefix = at->second;
    return true;
  }

  // Extends `prefix` by the spans [from, to) at their fixed counts.
  bool AppendFixed(std::size_t& prefix, const std::vector<Span>& spans, std::size_t from,
                   std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (!Append(prefix, spans[i].mask, spans[i].minRepeats)) return false;
    }
    return true;
  }

  bool AddMotif(std::size_t prefix, MotifAnchor anchor) {
    if (!motifs_.insert({anchor, prefix}).second) return true;
    result_.found_.push_back({prefix, anchor});
    result_.size_ = result_.found_.size();
    result_.positions_ += result_.runs_[prefix].width;
    return result_.size_ <= maxMotifs_ || Stop(DistinctMotifs::Outcome::kTooManyMotifs);
  }

  DistinctMotifs& result_;
  const std::uint64_t maxMotifs_;
  const std::uint64_t maxSteps_;
  std::uint64_t steps_ = 0;
  // Each prefix once: a run of a mask after a shorter prefix.
  std::unordered_map<RunKey, std::size_t, RunKeyHash> interned_;
  std::unordered_set<TaggedPrefix, TaggedPrefixHash> motifs_;  // tagged with the anchor
};

ExpandedMotif DistinctMotifs::ChoiceMotif(const Choices& choices, std::uint64_t index) const {
  const std::vector<PatternElement>& elements = choices.form.elements;
  std::vector<std::uint32_t> repeats(elements.size());
  for (std::size_t i = elements.size(); i-- > 0;) {
    const std::uint64_t range = std::uint64_t{elements[i].maxRepeats} - elements[i].minRepeats + 1;
    repeats[i] = elements[i].minRepeats + static_cast<std::uint32_t>(index % range);
    index /= range;
  }
  ExpandedMotif motif{{}, choices.form.anchor};
  for (std::size_t i = 0; i < elements.size(); ++i)
    motif.positions.insert(motif.positions.end(), repeats[i], elements[i].mask);
  return motif;
}

ExpandedMotif DistinctMotifs::Motif(std::uint64_t i) const {
  for (const Choices& choices : choices_) {
    if (i < choices.first + choices.count) return ChoiceMotif(choices, i - choices.first);
  }
  const Found& found = found_[i];
  ExpandedMotif motif{std::vector<std::uint32_t>(runs_[found.prefix].width), found.anchor};
  auto end = motif.positions.end();
  for (std::size_t at = found.prefix; at != 0; at = runs_[at].previous) {
    const Run& run = runs_[at];
    end -= static_cast<std::ptrdiff_t>(run.length);
    std::fill_n(end, run.length, run.mask);
  }
  return motif;
}

DistinctMotifs ExpandDistinctMotifs(const Pattern& pattern, std::uint64_t maxMotifs,
                                    std::uint64_t maxSteps) {
  DistinctMotifs result;
  const std::vector<PatternForm> forms = PatternForms(pattern);
  if (MayRepeatMotifs(forms)) {
    ExpansionWalk walk(result, maxMotifs, maxSteps);
    for (const PatternForm& form : forms) {
      if (!walk.WalkForm(form)) break;
    }
    return result;
  }
  for (const PatternForm& form : forms) {
    const std::uint64_t count = CountChoices(form, maxMotifs - result.size_);
    result.size_ += count;
    if (result.size_ > maxMotifs) {
      result.outcome_ = DistinctMotifs::Outcome::kTooManyMotifs;
      return result;
    }
    result.choices_.push_back({form, result.size_ - count, count});
  }
  for (const DistinctMotifs::Choices& choices : result.choices_)
    result.positions_ += CountChoicePositions(choices.form);
  return result;
}

std::vector<ExpandedMotif> ExpandPattern(const Pattern& pattern) {
  constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max() - 1;
  const DistinctMotifs distinct = ExpandDistinctMotifs(pattern, kUnlimited, kUnlimited);
  std::vector<ExpandedMotif> motifs;
  for (std::uint64_t i = 0; i < distinct.size(); ++i)
    motifs.push_back(distinct.Motif(i));
  return motifs;
}
