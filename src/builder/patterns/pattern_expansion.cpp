// SPDX-License-Identifier: MIT
// pattern_expansion.cpp: the walk over a pattern's choices of repeat counts
// that keeps each distinct motif once. See pattern_expansion.h.
#include "patterns/pattern_expansion.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

namespace brisel {

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

// An open-addressing set of 64-bit keys: a walk inserts millions of them, and
// a node-based set would spend most of its time and memory on allocation.
class KeySet {
 public:
  // Inserts `key` (not kEmpty); true if it was not there.
  bool Insert(std::uint64_t key) {
    if (2 * (size_ + 1) > slots_.size()) Grow();
    std::uint64_t& slot = Slot(key);
    if (slot == key) return false;
    slot = key;
    ++size_;
    return true;
  }

  static constexpr std::uint64_t kEmpty = UINT64_MAX;

 private:
  std::uint64_t& Slot(std::uint64_t key) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t at = MixHash(0, key) & mask;; at = (at + 1) & mask) {
      if (slots_[at] == kEmpty || slots_[at] == key) return slots_[at];
    }
  }

  void Grow() {
    std::vector<std::uint64_t> old(std::max<std::size_t>(16, 2 * slots_.size()), kEmpty);
    old.swap(slots_);
    for (const std::uint64_t key : old) {
      if (key != kEmpty) Slot(key) = key;
    }
  }

  std::vector<std::uint64_t> slots_;
  std::size_t size_ = 0;
};

std::uint64_t Tagged(std::uint64_t tag, std::uint32_t prefix) {
  return tag << 32 | prefix;
}

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
  // `exactMotifs`: the forms share their anchor, so a motif is compared whole;
  // otherwise motifs of different forms differ, and within a form they end in
  // the same fixed elements, which are left out of the comparison.
  ExpansionWalk(DistinctMotifs& result, std::uint64_t maxMotifs, std::uint64_t maxSteps,
                bool exactMotifs)
      : result_(result), maxMotifs_(maxMotifs), maxSteps_(maxSteps), exactMotifs_(exactMotifs) {}

  // Walks the choices of one form; false once the walk has stopped.
  bool WalkForm(const PatternForm& form, std::uint64_t formIndex) {
    const std::vector<Span> spans = JoinedSpans(form.elements);
    std::vector<std::size_t> ranges;  // the spans with a choice of counts
    for (std::size_t i = 0; i < spans.size(); ++i) {
      if (spans[i].minRepeats < spans[i].maxRepeats) ranges.push_back(i);
    }
    const std::uint64_t tag = exactMotifs_ ? std::uint64_t{form.anchor} : kFormTags + formIndex;
    std::uint32_t start = 0;
    if (ranges.empty()) {
      return AppendFixed(start, spans, 0, spans.size()) &&
             AddMotif(tag, start, DistinctMotifs::kNoTail, form.anchor);
    }
    std::uint32_t tail = DistinctMotifs::kNoTail;
    if (!exactMotifs_) {
      tail = static_cast<std::uint32_t>(result_.tails_.size());
      std::vector<DistinctMotifs::Piece>& pieces = result_.tails_.emplace_back();
      for (std::size_t i = ranges.back() + 1; i < spans.size(); ++i)
        pieces.push_back({spans[i].mask, spans[i].minRepeats});
    }
    if (!AppendFixed(start, spans, 0, ranges[0])) return false;

    followed_ = KeySet();
    struct Frame {
      std::size_t level;     // the range whose count is chosen
      std::uint32_t prefix;  // before that range
      std::uint64_t count;   // the next count to try
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
      const std::size_t fixedFrom = ranges[frame.level] + 1;
      std::uint32_t prefix = frame.prefix;
      if (!Step() || !Append(prefix, range.mask, count)) return false;
      if (level == ranges.size()) {
        if (exactMotifs_ && !AppendFixed(prefix, spans, fixedFrom, spans.size())) return false;
        if (!AddMotif(tag, prefix, tail, form.anchor)) return false;
        continue;
      }
      // The fixed elements up to the next range are the same after every
      // prefix of this level: the prefixes are compared without them.
      if (!followed_.Insert(Tagged(level, prefix))) continue;
      if (!AppendFixed(prefix, spans, fixedFrom, ranges[level])) return false;
      stack.push_back({level, prefix, spans[ranges[level]].minRepeats});
    }
    return true;
  }

 private:
  static constexpr std::uint64_t kFormTags = 4;  // above the anchors

  bool Stop(DistinctMotifs::Outcome outcome) {
    result_.outcome_ = outcome;
    return false;
  }

  bool Step() { return ++steps_ <= maxSteps_ || Stop(DistinctMotifs::Outcome::kTooManySteps); }

  // Extends `prefix` by `count` positions of `mask`.
  bool Append(std::uint32_t& prefix, std::uint32_t mask, std::uint64_t count) {
    if (count == 0) return true;
    if (!Step()) return false;
    std::vector<DistinctMotifs::Run>& runs = result_.runs_;
    DistinctMotifs::Run run = {prefix, mask, count, runs[prefix].width + count};
    if (prefix != 0 && runs[prefix].mask == mask) {
      run.previous = runs[prefix].previous;
      run.length += runs[prefix].length;
    }
    if (2 * runs.size() + 2 > interned_.size()) {
      if (runs.size() == UINT32_MAX - 1) return Stop(DistinctMotifs::Outcome::kTooManySteps);
      GrowInterned();
    }
    std::uint32_t& slot = InternedSlot(run);
    if (slot == 0) {
      slot = static_cast<std::uint32_t>(runs.size());
      runs.push_back(run);
    }
    prefix = slot;
    return true;
  }

  // Extends `prefix` by the spans [from, to) at their fixed counts.
  bool AppendFixed(std::uint32_t& prefix, const std::vector<Span>& spans, std::size_t from,
                   std::size_t to) {
    for (std::size_t i = from; i < to; ++i) {
      if (!Append(prefix, spans[i].mask, spans[i].minRepeats)) return false;
    }
    return true;
  }

  // The slot of `run` in the interned runs: its id, or 0 where it would go.
  std::uint32_t& InternedSlot(const DistinctMotifs::Run& run) {
    const std::size_t mask = interned_.size() - 1;
    const std::size_t hash = MixHash(MixHash(run.previous, run.mask), run.length);
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
      std::uint32_t& slot = interned_[at];
      if (slot == 0) return slot;
      const DistinctMotifs::Run& other = result_.runs_[slot];
      if (other.previous == run.previous && other.mask == run.mask && other.length == run.length) {
        return slot;
      }
    }
  }

  void GrowInterned() {
    std::vector<std::uint32_t> old(std::max<std::size_t>(64, 2 * interned_.size()), 0);
    old.swap(interned_);
    for (const std::uint32_t id : old) {
      if (id != 0) InternedSlot(result_.runs_[id]) = id;
    }
  }

  bool AddMotif(std::uint64_t tag, std::uint32_t prefix, std::uint32_t tail, MotifAnchor anchor) {
    if (!motifs_.Insert(Tagged(tag, prefix))) return true;
    result_.found_.push_back({prefix, tail, anchor});
    result_.size_ = result_.found_.size();
    result_.positions_ += result_.runs_[prefix].width;
    if (tail != DistinctMotifs::kNoTail) {
      for (const DistinctMotifs::Piece& piece : result_.tails_[tail])
        result_.positions_ += piece.count;
    }
    return result_.size_ <= maxMotifs_ || Stop(DistinctMotifs::Outcome::kTooManyMotifs);
  }

  DistinctMotifs& result_;
  const std::uint64_t maxMotifs_;
  const std::uint64_t maxSteps_;
  const bool exactMotifs_;
  std::uint64_t steps_ = 0;
  std::vector<std::uint32_t> interned_;  // ids of result_.runs_ by content; 0: empty
  KeySet followed_;                      // the form's prefixes followed, tagged with their level
  KeySet motifs_;                        // motifs found, tagged with a form or anchor
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
  std::uint64_t tailWidth = 0;
  if (found.tail != kNoTail) {
    for (const Piece& piece : tails_[found.tail])
      tailWidth += piece.count;
  }
  const std::uint64_t prefixWidth = runs_[found.prefix].width;
  ExpandedMotif motif{std::vector<std::uint32_t>(prefixWidth + tailWidth), found.anchor};
  auto end = motif.positions.begin() + static_cast<std::ptrdiff_t>(prefixWidth);
  for (std::uint32_t at = found.prefix; at != 0; at = runs_[at].previous) {
    const Run& run = runs_[at];
    end -= static_cast<std::ptrdiff_t>(run.length);
    std::fill_n(end, run.length, run.mask);
  }
  auto next = motif.positions.begin() + static_cast<std::ptrdiff_t>(prefixWidth);
  if (found.tail != kNoTail) {
    for (const Piece& piece : tails_[found.tail])
      next = std::fill_n(next, piece.count, piece.mask);
  }
  return motif;
}

DistinctMotifs ExpandDistinctMotifs(const Pattern& pattern, std::uint64_t maxMotifs,
                                    std::uint64_t maxSteps) {
  DistinctMotifs result;
  const std::vector<PatternForm> forms = PatternForms(pattern);
  if (MayRepeatMotifs(forms)) {
    const bool sharedAnchor = forms.size() == 2 && forms[0].anchor == forms[1].anchor;
    ExpansionWalk walk(result, maxMotifs, maxSteps, sharedAnchor);
    for (std::size_t f = 0; f < forms.size(); ++f) {
      if (!walk.WalkForm(forms[f], f)) break;
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

}  // namespace brisel
