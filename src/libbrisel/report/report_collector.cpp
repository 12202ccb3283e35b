// SPDX-License-Identifier: MIT
// report_collector.cpp: the counts and bounded selections of the report.
#include "report/report_collector.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <compare>
#include <stdexcept>
#include <utility>

namespace brisel {

namespace {

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// At most `bytes` bytes from the start of `text`, not ending inside a UTF-8
// character (backing up at most three bytes, so broken text is cut anyway).
std::string_view Head(std::string_view text, std::size_t bytes) {
  if (bytes >= text.size()) return text;
  for (int back = 0; back < 3 && bytes > 0 && IsContinuation(text[bytes]); ++back)
    --bytes;
  return text.substr(0, bytes);
}

// At most `bytes` bytes from the end of `text`, starting at a character.
std::string_view Tail(std::string_view text, std::size_t bytes) {
  if (bytes >= text.size()) return text;
  std::size_t from = text.size() - bytes;
  for (int ahead = 0; ahead < 3 && from < text.size() && IsContinuation(text[from]); ++ahead) {
    ++from;
  }
  return text.substr(from);
}

constexpr std::string_view kCut = "...";

void ShortenName(std::string_view name, std::string& out) {
  if (name.size() <= kReportNameBytes) {
    out.assign(name);
    return;
  }
  out.assign(Head(name, kReportNameBytes - kCut.size()));
  out.append(kCut);
}

void AppendShortenedSegment(std::string_view segment, std::string& out) {
  if (segment.size() <= kReportSegmentBytes) {
    out.append(segment);
    return;
  }
  const std::size_t half = (kReportSegmentBytes - kCut.size()) / 2;
  out.append(Head(segment, half));
  out.append(kCut);
  out.append(Tail(segment, kReportSegmentBytes - kCut.size() - half));
}

// "a is kept before b": lower E, then fed earlier (ReportKeptHit or Pending).
template <typename Hit>
bool HitBefore(const Hit& a, const Hit& b) {
  const std::strong_ordering order = std::strong_order(a.expectation, b.expectation);
  return order != 0 ? order < 0 : a.order < b.order;
}

// "a sequence of best E `best` and number `number` is kept before `b`".
bool Beats(double best, std::uint64_t number, const ReportSequence& b) {
  const std::strong_ordering order = std::strong_order(best, b.bestExpectation);
  return order != 0 ? order < 0 : number < b.number;
}

bool SequenceBefore(const ReportSequence& a, const ReportSequence& b) {
  return Beats(a.bestExpectation, a.number, b);
}

// The binary order of magnitude of a positive finite double, as std::ilogb
// gives it, read from its exponent bits when it is normal.
int BinaryExponent(double value) {
  const int biased = static_cast<int>((std::bit_cast<std::uint64_t>(value) >> 52) & 0x7FF);
  return biased != 0 ? biased - 1023 : std::ilogb(value);
}

}  // namespace

ReportCollector::ReportCollector(ReportLimits limits) : limits_(limits) {}

void ReportCollector::BeginSequence(std::uint64_t number, std::string_view name,
                                    std::uint64_t length) {
  if (open_) throw std::logic_error("ReportCollector: a sequence begun before the last ended");
  open_ = true;
  number_ = number;
  ShortenName(name, name_);
  length_ = length;
  hitCount_ = 0;
  best_ = 0;
  pending_.clear();
  heaped_ = false;
}

void ReportCollector::AddHit(const ReportHit& hit) {
  if (!open_) throw std::logic_error("ReportCollector: a hit outside a sequence");
  if (hit.motif >= kReportMaxMotifs) throw std::out_of_range("ReportCollector: motif index");

  ++hits_;
  if (hit.motif >= hitsPerMotif_.size()) hitsPerMotif_.resize(hit.motif + 1, 0);
  ++hitsPerMotif_[hit.motif];
  const double e = hit.expectation;
  if (std::isfinite(e) && e > 0) {
    ++bins_[BinaryExponent(e) - kMinBin];
  } else if (e == 0) {
    ++zeroExpectations_;
  } else {
    ++otherExpectations_;
  }

  const std::uint64_t order = hitCount_++;
  if (order == 0 || std::strong_order(e, best_) < 0) best_ = e;

  // The hits of the open sequence are held as they come until there are
  // hitsPerSequence of them; then as a max-heap whose front is the worst hit
  // held, which a later hit replaces only with a strictly lower E.
  const Pending pending{e,         hit.probability, hit.start,          hit.end,           order,
                        hit.motif, hit.frame,       hit.segment.data(), hit.segment.size()};
  if (pending_.size() < limits_.hitsPerSequence) {
    pending_.push_back(pending);
    return;
  }
  if (pending_.empty() || std::strong_order(e, Worst().expectation) >= 0) return;
  std::pop_heap(pending_.begin(), pending_.end(), HitBefore<Pending>);
  pending_.back() = pending;
  std::push_heap(pending_.begin(), pending_.end(), HitBefore<Pending>);
}

// The worst hit held, once hitsPerSequence are: the front of the heap, made
// the first time it is asked for.
const ReportCollector::Pending& ReportCollector::Worst() {
  if (!heaped_) {
    std::make_heap(pending_.begin(), pending_.end(), HitBefore<Pending>);
    heaped_ = true;
  }
  return pending_.front();
}

void ReportCollector::EndSequence() {
  if (!open_) throw std::logic_error("ReportCollector: a sequence ended that was not begun");
  open_ = false;
  ++sequences_;
  if (hitCount_ == 0) return;
  ++sequencesWithHits_;
  if (limits_.sequences == 0) return;
  if (kept_.size() >= limits_.sequences && !Beats(best_, number_, kept_.front())) return;

  ReportSequence sequence;
  sequence.number = number_;
  sequence.name = name_;
  sequence.length = length_;
  sequence.hitCount = hitCount_;
  sequence.bestExpectation = best_;
  // Its hits sorted by (E, order): those drawn are then a prefix.
  std::sort(pending_.begin(), pending_.end(), HitBefore<Pending>);
  sequence.hits.reserve(pending_.size());
  std::string segment;
  for (const Pending& hit : pending_) {
    segment.clear();
    AppendShortenedSegment({hit.segment, hit.segmentSize}, segment);
    sequence.hits.push_back({hit.motif, hit.start, hit.end, hit.expectation, hit.probability,
                             segment, hit.frame, hit.order});
  }
  Keep(std::move(sequence));
}

void ReportCollector::AddSequencesWithoutHits(std::uint64_t count) {
  sequences_ += count;
}

void ReportCollector::Keep(ReportSequence&& sequence) {
  if (limits_.sequences == 0) return;
  const bool full = kept_.size() >= limits_.sequences;
  if (full && !SequenceBefore(sequence, kept_.front())) return;
  if (full) {
    std::pop_heap(kept_.begin(), kept_.end(), SequenceBefore);
    kept_.back() = std::move(sequence);
  } else {
    kept_.push_back(std::move(sequence));
  }
  std::push_heap(kept_.begin(), kept_.end(), SequenceBefore);
}

void ReportCollector::Merge(ReportCollector&& other) {
  if (&other == this) return;
  if (!(other.limits_ == limits_)) {
    throw std::invalid_argument("ReportCollector: merging collectors of other limits");
  }
  if (open_ || other.open_) {
    throw std::logic_error("ReportCollector: merging with a sequence still open");
  }
  sequences_ += other.sequences_;
  sequencesWithHits_ += other.sequencesWithHits_;
  hits_ += other.hits_;
  if (other.hitsPerMotif_.size() > hitsPerMotif_.size()) {
    hitsPerMotif_.resize(other.hitsPerMotif_.size(), 0);
  }
  for (std::size_t i = 0; i < other.hitsPerMotif_.size(); ++i) {
    hitsPerMotif_[i] += other.hitsPerMotif_[i];
  }
  for (std::size_t i = 0; i < bins_.size(); ++i)
    bins_[i] += other.bins_[i];
  zeroExpectations_ += other.zeroExpectations_;
  otherExpectations_ += other.otherExpectations_;
  for (ReportSequence& sequence : other.kept_)
    Keep(std::move(sequence));
  other = ReportCollector(limits_);
}

void ReportCollector::RenumberMotifs(std::span<const std::uint32_t> to) {
  if (open_) throw std::logic_error("ReportCollector: renumbering with a sequence still open");
  const auto renumbered = [&](std::uint32_t motif) {
    if (motif >= to.size() || to[motif] >= kReportMaxMotifs) {
      throw std::out_of_range("ReportCollector: motif index");
    }
    return to[motif];
  };
  std::vector<std::uint64_t> counts;
  for (std::uint32_t m = 0; m < hitsPerMotif_.size(); ++m) {
    if (hitsPerMotif_[m] == 0) continue;
    const std::uint32_t into = renumbered(m);
    if (into >= counts.size()) counts.resize(into + 1, 0);
    counts[into] += hitsPerMotif_[m];
  }
  for (ReportSequence& sequence : kept_) {
    for (ReportKeptHit& hit : sequence.hits)
      hit.motif = renumbered(hit.motif);
  }
  hitsPerMotif_ = std::move(counts);
}

std::vector<ReportSequence> ReportCollector::DrawnSequences() const {
  std::vector<const ReportSequence*> ranked;
  ranked.reserve(kept_.size());
  for (const ReportSequence& sequence : kept_)
    ranked.push_back(&sequence);
  std::sort(ranked.begin(), ranked.end(), [](const ReportSequence* a, const ReportSequence* b) {
    return SequenceBefore(*a, *b);
  });
  std::vector<ReportSequence> drawn;
  std::size_t budget = limits_.hits;
  for (const ReportSequence* sequence : ranked) {
    if (budget == 0) break;
    ReportSequence& copy = drawn.emplace_back(*sequence);
    if (copy.hits.size() > budget) copy.hits.resize(budget);
    budget -= copy.hits.size();
    std::sort(copy.hits.begin(), copy.hits.end(),
              [](const ReportKeptHit& a, const ReportKeptHit& b) { return a.order < b.order; });
  }
  std::sort(drawn.begin(), drawn.end(),
            [](const ReportSequence& a, const ReportSequence& b) { return a.number < b.number; });
  return drawn;
}

}  // namespace brisel
