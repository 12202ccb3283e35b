// SPDX-License-Identifier: MIT
// report_collector.cpp: the counts and bounded selections of the report.
#include "report/report_collector.h"

#include <algorithm>
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

void ShortenSegment(std::string_view segment, std::string& out) {
  if (segment.size() <= kReportSegmentBytes) {
    out.assign(segment);
    return;
  }
  const std::size_t half = (kReportSegmentBytes - kCut.size()) / 2;
  out.assign(Head(segment, half));
  out.append(kCut);
  out.append(Tail(segment, kReportSegmentBytes - kCut.size() - half));
}

// "a is kept before b": lower E, then fed earlier.
bool HitBefore(const ReportKeptHit& a, const ReportKeptHit& b) {
  const std::strong_ordering order = std::strong_order(a.expectation, b.expectation);
  return order != 0 ? order < 0 : a.order < b.order;
}

// "a is kept before b": lower best E, then the lower number.
bool SequenceBefore(const ReportSequence& a, const ReportSequence& b) {
  const std::strong_ordering order = std::strong_order(a.bestExpectation, b.bestExpectation);
  return order != 0 ? order < 0 : a.number < b.number;
}

}  // namespace

ReportCollector::ReportCollector(ReportLimits limits) : limits_(limits) {}

void ReportCollector::BeginSequence(std::uint64_t number, std::string_view name,
                                    std::uint64_t length) {
  if (open_) throw std::logic_error("ReportCollector: a sequence begun before the last ended");
  open_ = true;
  current_.number = number;
  ShortenName(name, current_.name);
  current_.length = length;
  current_.hitCount = 0;
  current_.bestExpectation = 0;
  current_.hits.clear();
}

void ReportCollector::AddHit(const ReportHit& hit) {
  if (!open_) throw std::logic_error("ReportCollector: a hit outside a sequence");
  if (hit.motif >= kReportMaxMotifs) throw std::out_of_range("ReportCollector: motif index");

  ++hits_;
  if (hit.motif >= hitsPerMotif_.size()) hitsPerMotif_.resize(hit.motif + 1, 0);
  ++hitsPerMotif_[hit.motif];
  const double e = hit.expectation;
  if (std::isfinite(e) && e > 0) {
    ++bins_[std::ilogb(e) - kMinBin];
  } else if (e == 0) {
    ++zeroExpectations_;
  } else {
    ++otherExpectations_;
  }

  const std::uint64_t order = current_.hitCount++;
  if (order == 0 || std::strong_order(e, current_.bestExpectation) < 0) {
    current_.bestExpectation = e;
  }

  // The open sequence's hits: a max-heap whose front is the worst kept. A
  // later hit goes before it only with a strictly lower E.
  std::vector<ReportKeptHit>& heap = current_.hits;
  const bool full = heap.size() >= limits_.hitsPerSequence;
  if (full && (heap.empty() || std::strong_order(e, heap.front().expectation) >= 0)) return;
  if (full) {
    std::pop_heap(heap.begin(), heap.end(), HitBefore);
  } else {
    heap.emplace_back();
  }
  ReportKeptHit& kept = heap.back();
  kept.motif = hit.motif;
  kept.start = hit.start;
  kept.end = hit.end;
  kept.expectation = e;
  kept.probability = hit.probability;
  ShortenSegment(hit.segment, kept.segment);
  kept.frame = hit.frame;
  kept.order = order;
  std::push_heap(heap.begin(), heap.end(), HitBefore);
}

void ReportCollector::EndSequence() {
  if (!open_) throw std::logic_error("ReportCollector: a sequence ended that was not begun");
  open_ = false;
  ++sequences_;
  if (current_.hitCount == 0) return;
  ++sequencesWithHits_;
  // From here on its hits are sorted by (E, order), the drawn ones a prefix.
  std::sort_heap(current_.hits.begin(), current_.hits.end(), HitBefore);
  Keep(std::move(current_));
  current_ = ReportSequence{};
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
