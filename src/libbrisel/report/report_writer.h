// SPDX-License-Identifier: MIT
// report_writer.h: the HTML report of a search, one self-contained page.
//
// The page (report.html, report.css and report.js in this directory) is
// built into the library: the writer writes its head, then the report's data
// as JSON in <script type="application/json" id="brisel-report-data">, then
// its tail, which holds the script that draws the page from that data. Style
// and script are inline and the page allows itself no fetch (its content
// security policy), so it reads the same offline.
//
// The data, written by WriteReport from a collector (report_collector.h),
// the motif list and the context, in this order (the JSON schema, version 1):
//
//   {"format": 1,
//    "program": "brisel-search", "version": "0.1.0",
//    "inputs": ["..."], "options": ["..."],   // lines of text, as given
//    "unit": "aa" | "nt",                     // of lengths and positions
//    "limits": {"sequences": N, "hitsPerSequence": M, "hits": D,
//               "nameBytes": 1024, "segmentBytes": 64},
//    "counts": {"sequences": S, "sequencesWithHits": W, "hits": H,
//               "sequencesDrawn": n, "hitsDrawn": h},
//    "palette": ["#0072B2", ...],               // kReportPalette
//    "motifs": [                               // those with hits, by index
//      {"index": i, "record": "PS00016 RGD", "specificity": "1.234e-05"
//                                            (or "1.234e-05\u20135.678e-04"),
//       "hits": count, "color": c}],           // palette entry c
//    "expectations": {"log2": [[k, count], ...],   // 2^k <= E < 2^(k+1)
//                     "zero": z, "other": o},
//    "sequences": [                            // drawn, by number
//      {"number": n, "name": "...", "length": L,   // L 0: unknown
//       "hits": count, "best": "3.71e-05",         // of all its hits
//       "h": [[motif index, start, end, "E", "P", "segment"(, frame)], ...]}]}
//                                              // drawn, in feeding order
//
// N, M and D are ReportLimits; nameBytes and segmentBytes are where names
// and segments were shortened (kReportNameBytes, kReportSegmentBytes). The
// counts count every sequence and hit fed; the sequences drawn and their
// hits are those of ReportCollector::DrawnSequences.
//
// Numbers shown to people are strings exactly as the TSV output writes them:
// E as "%.2e", P as "%.3f", specificity as "%.3e"; positions are 1-based and
// inclusive. A hit's frame is there only when it is not 0. Colours: the
// motifs with hits ranked by hit count (then index) take the palette's
// colours in turn, so the most frequent motifs get distinct colours; the page
// writes the motif's name on its boxes and in their tooltips to tell apart
// those that share one.
//
// The bytes depend only on the collector's counts and kept hits, the motifs
// and the context: no time, host or path is added.
#ifndef BRISEL_REPORT_REPORT_WRITER_H
#define BRISEL_REPORT_REPORT_WRITER_H

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "report/report_collector.h"

namespace brisel {

// The Okabe-Ito palette, told apart by people with the common colour vision
// deficiencies, in the order motifs take its colours.
inline constexpr std::array<std::string_view, 8> kReportPalette = {
    "#0072B2", "#E69F00", "#009E73", "#D55E00", "#56B4E9", "#CC79A7", "#F0E442", "#000000"};

// Motif i of the hits' motif indexes. A motif that stands for several (the
// motifs a PROSITE pattern's ranges expand into) may have a span of
// specificities, written "lowest\u2013highest".
struct ReportMotif {
  std::string_view record;  // e.g. "PS00016 RGD"
  double specificity = 0;
  double highestSpecificity = 0;  // above `specificity`: the span's top
};

// What the page says was searched.
struct ReportContext {
  std::string_view program = "brisel-search";
  std::string_view version;
  std::span<const std::string_view> inputs;   // databases or files, a line each
  std::span<const std::string_view> options;  // a line each
  bool nucleotides = false;  // lengths and positions are nucleotides (translated search)
};

// Receives the page a piece at a time, in order; it may throw to stop.
using ReportSink = std::function<void(std::string_view bytes)>;

// Writes the page. A motif index without an entry in `motifs` is shown by
// its number, with an empty record.
void WriteReport(const ReportCollector& collector, std::span<const ReportMotif> motifs,
                 const ReportContext& context, const ReportSink& sink);

// The page as one string.
std::string RenderReport(const ReportCollector& collector, std::span<const ReportMotif> motifs,
                         const ReportContext& context);

}  // namespace brisel

#endif  // BRISEL_REPORT_REPORT_WRITER_H
