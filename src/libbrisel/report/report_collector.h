// SPDX-License-Identifier: MIT
// report_collector.h: what the HTML report (report_writer.h) shows of a
// search, gathered while the search runs.
//
// A search feeds one collector per thread, a sequence at a time in the order
// that thread searches them: BeginSequence, then AddHit for each of its hits,
// then EndSequence. Sequences without hits go through Begin and End too (or,
// for a front end that only holds the sequences with hits, are counted with
// AddSequencesWithoutHits). At the end the collectors are merged into one
// (Merge, in any order) and that one is written.
//
// What it counts, over everything fed: the sequences, those with hits, the
// hits, the hits of each motif, and the expectations of the hits as a
// histogram of binary orders of magnitude (bin k holds 2^k <= E < 2^(k+1)).
//
// What it keeps (the page's maps and table), within ReportLimits:
//  - the `sequences` sequences with hits whose best (lowest) E is lowest,
//    ties going to the lower sequence number;
//  - of each, its `hitsPerSequence` hits of lowest E, ties going to the hit
//    fed first for that sequence;
//  - names longer than kReportNameBytes and segments longer than
//    kReportSegmentBytes shortened (a cut marked by "...", never inside a
//    UTF-8 character).
// What it draws (DrawnSequences): the kept sequences taken in that order
// (lowest best E first) with their kept hits, until `hits` hits are taken;
// the last one taken may then lose its hits of highest E.
// Expectations are ordered by std::strong_order (IEEE total order), so NaNs
// and signed zeros have their place too. These are total orders over
// (E, number) and (E, position in the sequence's hits): what is kept is a
// function of the sequences fed, not of how they were spread over collectors
// nor of the order of the merges, and so are the bytes the writer writes.
//
// Invariants and preconditions:
//  - Each sequence number is fed once in all the collectors of one report.
//  - Every hit lies between a BeginSequence and its EndSequence (a
//    std::logic_error otherwise); a motif index is below kReportMaxMotifs (a
//    std::out_of_range otherwise; the writer names motifs by index).
//  - Collectors that are merged have the same limits (std::invalid_argument).
//  - Memory: at most limits.sequences * limits.hitsPerSequence kept hits,
//    plus those of the open sequence (at most hitsPerSequence), plus one
//    counter per motif and per histogram bin.
//
// Ownership: the collector owns copies of every text it keeps. The name given
// to BeginSequence is read during the call only; the segment of each hit is
// read until the sequence's EndSequence, which copies the segments of a
// sequence that it keeps (so a sequence that is not kept costs no copy), and
// must stay valid until then, as the residues of the sequence being searched
// do. Not thread-safe: one collector per
// thread, merged on one thread.
//
// Use, in a search on several threads (report_writer.h writes the page):
//
//   std::vector<brisel::ReportCollector> collectors(threads);
//   // on worker w, for each sequence it searches (number: its place in the
//   // search, from 0, whichever thread searches it):
//   collectors[w].BeginSequence(number, name, length);
//   for (const Hit& h : hits)
//     collectors[w].AddHit({h.motif, h.start, h.end, h.e, h.p, h.segment});
//   collectors[w].EndSequence();
//   // once the workers are joined:
//   for (std::size_t w = 1; w < threads; ++w) collectors[0].Merge(std::move(collectors[w]));
//   brisel::WriteReport(collectors[0], motifs, context, sink);
#ifndef BRISEL_REPORT_REPORT_COLLECTOR_H
#define BRISEL_REPORT_REPORT_COLLECTOR_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

// The page's limits. With the defaults, a report of a search of any size
// stays under 20 MB (at most 150,000 hits drawn, each at most about 125 bytes
// of the page with a segment of residue letters, and 1,000 names of at most
// 1 KiB; text that needs escapes, written 6 bytes a character, can add up to
// 5 times its own size) and opens in a browser in about a second: hits take
// 40 to 50 bytes each, 6 MB for 150,000. A search of a few hundred proteins
// is shown whole. Memory: at most 300,000 kept hits of about 100 bytes per
// collector.
struct ReportLimits {
  std::size_t sequences = 1000;       // sequences kept, each drawn as a hit map
  std::size_t hitsPerSequence = 300;  // hits kept of each
  std::size_t hits = 150000;          // hits drawn in all
  friend bool operator==(const ReportLimits&, const ReportLimits&) = default;
};

inline constexpr std::size_t kReportNameBytes = 1024;
inline constexpr std::size_t kReportSegmentBytes = 64;
inline constexpr std::uint32_t kReportMaxMotifs = 1u << 20;

// One hit as the search reports it.
struct ReportHit {
  std::uint32_t motif = 0;  // index into the writer's motif list
  std::uint64_t start = 0;  // 1-based, inclusive; residues, or nucleotides
  std::uint64_t end = 0;    // (translated search) of the searched sequence
  double expectation = 0;
  double probability = 0;  // of no random hit
  std::string_view segment;
  int frame = 0;  // 0: protein; +1..+3 forward, -1..-3 reverse strand
};

// A kept hit: the fed hit with its own copy of the (possibly shortened)
// segment, and its place among its sequence's hits in feeding order.
struct ReportKeptHit {
  std::uint32_t motif = 0;
  std::uint64_t start = 0;
  std::uint64_t end = 0;
  double expectation = 0;
  double probability = 0;
  std::string segment;
  int frame = 0;
  std::uint64_t order = 0;  // 0 for the sequence's first hit fed, and so on
};

// A kept sequence: its hits in feeding order.
struct ReportSequence {
  std::uint64_t number = 0;    // in the search, from 0
  std::string name;            // possibly shortened
  std::uint64_t length = 0;    // 0: unknown
  std::uint64_t hitCount = 0;  // all its hits, kept or not
  double bestExpectation = 0;  // the lowest E of its hits
  std::vector<ReportKeptHit> hits;
};

class ReportCollector {
 public:
  // Bins of the E histogram: k from kMinBin (the smallest subnormal) to
  // kMaxBin (the largest finite double).
  static constexpr int kMinBin = -1074;
  static constexpr int kMaxBin = 1023;

  explicit ReportCollector(ReportLimits limits = {});

  // `length` is the sequence's length in residues (in nucleotides for a
  // translated search), 0 when unknown.
  void BeginSequence(std::uint64_t number, std::string_view name, std::uint64_t length);
  void AddHit(const ReportHit& hit);
  void EndSequence();
  // Counts `count` more searched sequences that had no hits.
  void AddSequencesWithoutHits(std::uint64_t count);

  // Takes in everything `other` counted and kept; `other` is left empty.
  void Merge(ReportCollector&& other);

  // Renumbers the motifs: motif i becomes motif `to[i]`, its hits counted and
  // kept with those of the motifs it joins (so a front end may feed motifs
  // as its search numbers them and show them grouped, a pattern's expansions
  // as one). What is kept does not depend on motifs, so this gives what
  // feeding the new numbers would have. Throws std::out_of_range for a motif
  // without an entry or an entry not below kReportMaxMotifs, and
  // std::logic_error while a sequence is open.
  void RenumberMotifs(std::span<const std::uint32_t> to);

  const ReportLimits& limits() const { return limits_; }
  std::uint64_t sequences() const { return sequences_; }
  std::uint64_t sequencesWithHits() const { return sequencesWithHits_; }
  std::uint64_t hits() const { return hits_; }
  // Hits of motif i at [i]; motifs past the end had none.
  const std::vector<std::uint64_t>& hitsPerMotif() const { return hitsPerMotif_; }
  // Hits with E in [2^k, 2^(k+1)) at [k - kMinBin]; E == 0 (or -0) apart;
  // `otherExpectations` counts the rest (negative, infinite or NaN).
  const std::array<std::uint64_t, kMaxBin - kMinBin + 1>& expectationBins() const { return bins_; }
  std::uint64_t zeroExpectations() const { return zeroExpectations_; }
  std::uint64_t otherExpectations() const { return otherExpectations_; }

  // The drawn sequences (copies, their hits in feeding order) in the order
  // of their numbers.
  std::vector<ReportSequence> DrawnSequences() const;

 private:
  void Keep(ReportSequence&& sequence);

  ReportLimits limits_;
  std::uint64_t sequences_ = 0;
  std::uint64_t sequencesWithHits_ = 0;
  std::uint64_t hits_ = 0;
  std::vector<std::uint64_t> hitsPerMotif_;
  std::array<std::uint64_t, kMaxBin - kMinBin + 1> bins_{};
  std::uint64_t zeroExpectations_ = 0;
  std::uint64_t otherExpectations_ = 0;

  // A hit of the open sequence that may still be kept, its segment as fed
  // (a view, valid until the sequence ends).
  struct Pending {
    double expectation;
    double probability;
    std::uint64_t start;
    std::uint64_t end;
    std::uint64_t order;
    std::uint32_t motif;
    int frame;
    const char* segment;
    std::size_t segmentSize;
  };
  const Pending& Worst();

  // The open sequence. Its buffers keep their capacity from one sequence to
  // the next, so that feeding a sequence that is not kept allocates nothing.
  bool open_ = false;
  std::uint64_t number_ = 0;
  std::string name_;
  std::uint64_t length_ = 0;
  std::uint64_t hitCount_ = 0;
  double best_ = 0;
  std::vector<Pending> pending_;  // in feeding order; once heaped_, a max-heap by (E, order)
  bool heaped_ = false;

  std::vector<ReportSequence> kept_;  // a max-heap by (best E, number)
};

}  // namespace brisel

#endif  // BRISEL_REPORT_REPORT_COLLECTOR_H
