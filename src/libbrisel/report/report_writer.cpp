// SPDX-License-Identifier: MIT
// report_writer.cpp: the page's head, its data island and its tail.
#include "report/report_writer.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "report/json_text.h"
#include "report/report_page.inc"  // kReportPageHead, kReportPageTail (generated)

namespace brisel {

namespace {

// Pieces handed to the sink once they reach this size.
constexpr std::size_t kPieceBytes = 1 << 16;

class DataWriter {
 public:
  explicit DataWriter(const ReportSink& sink) : sink_(sink) { text_.reserve(2 * kPieceBytes); }

  std::string& text() { return text_; }
  void Key(std::string_view key) {
    AppendJsonString(text_, key);
    text_.push_back(':');
  }
  void Flush(bool always = false) {
    if (text_.size() >= kPieceBytes || (always && !text_.empty())) {
      sink_(text_);
      text_.clear();
    }
  }
  void Lines(std::span<const std::string_view> lines) {
    text_.push_back('[');
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) text_.push_back(',');
      AppendJsonString(text_, lines[i]);
    }
    text_.push_back(']');
  }

 private:
  const ReportSink& sink_;
  std::string text_;
};

void WriteMotifs(DataWriter& out, const ReportCollector& collector,
                 std::span<const ReportMotif> motifs) {
  const std::vector<std::uint64_t>& counts = collector.hitsPerMotif();
  std::vector<std::uint32_t> ranked;
  for (std::uint32_t i = 0; i < counts.size(); ++i) {
    if (counts[i] > 0) ranked.push_back(i);
  }
  std::sort(ranked.begin(), ranked.end(), [&](std::uint32_t a, std::uint32_t b) {
    return counts[a] != counts[b] ? counts[a] > counts[b] : a < b;
  });
  std::vector<std::size_t> colour(counts.size(), 0);
  for (std::size_t rank = 0; rank < ranked.size(); ++rank) {
    colour[ranked[rank]] = rank % kReportPalette.size();
  }

  std::string& text = out.text();
  out.Key("motifs");
  text.push_back('[');
  bool first = true;
  for (std::uint32_t i = 0; i < counts.size(); ++i) {
    if (counts[i] == 0) continue;
    if (!first) text.push_back(',');
    first = false;
    text.append("{\"index\":");
    AppendUnsigned(text, i);
    text.append(",\"record\":");
    AppendJsonString(text, i < motifs.size() ? motifs[i].record : std::string_view());
    text.append(",\"specificity\":");
    if (i < motifs.size()) {
      text.push_back('"');
      AppendExponent3(text, motifs[i].specificity);
      if (motifs[i].highestSpecificity > motifs[i].specificity) {
        text.append("\\u2013");  // an en dash, escaped
        AppendExponent3(text, motifs[i].highestSpecificity);
      }
      text.push_back('"');
    } else {
      text.append("null");
    }
    text.append(",\"hits\":");
    AppendUnsigned(text, counts[i]);
    text.append(",\"color\":");
    AppendUnsigned(text, colour[i]);
    text.push_back('}');
    out.Flush();
  }
  text.append("],");
}

void WriteExpectations(DataWriter& out, const ReportCollector& collector) {
  std::string& text = out.text();
  out.Key("expectations");
  text.append("{\"log2\":[");
  bool first = true;
  const auto& bins = collector.expectationBins();
  for (std::size_t i = 0; i < bins.size(); ++i) {
    if (bins[i] == 0) continue;
    if (!first) text.push_back(',');
    first = false;
    text.push_back('[');
    AppendSigned(text, static_cast<std::int64_t>(i) + ReportCollector::kMinBin);
    text.push_back(',');
    AppendUnsigned(text, bins[i]);
    text.push_back(']');
  }
  text.append("],\"zero\":");
  AppendUnsigned(text, collector.zeroExpectations());
  text.append(",\"other\":");
  AppendUnsigned(text, collector.otherExpectations());
  text.append("},");
}

void WriteSequences(DataWriter& out, const std::vector<ReportSequence>& sequences) {
  std::string& text = out.text();
  out.Key("sequences");
  text.push_back('[');
  for (std::size_t s = 0; s < sequences.size(); ++s) {
    const ReportSequence& sequence = sequences[s];
    if (s > 0) text.push_back(',');
    text.append("{\"number\":");
    AppendUnsigned(text, sequence.number);
    text.append(",\"name\":");
    AppendJsonString(text, sequence.name);
    text.append(",\"length\":");
    AppendUnsigned(text, sequence.length);
    text.append(",\"hits\":");
    AppendUnsigned(text, sequence.hitCount);
    text.append(",\"best\":\"");
    AppendExponent2(text, sequence.bestExpectation);
    text.append("\",\"h\":[");
    for (std::size_t h = 0; h < sequence.hits.size(); ++h) {
      const ReportKeptHit& hit = sequence.hits[h];
      if (h > 0) text.push_back(',');
      text.push_back('[');
      AppendUnsigned(text, hit.motif);
      text.push_back(',');
      AppendUnsigned(text, hit.start);
      text.push_back(',');
      AppendUnsigned(text, hit.end);
      text.append(",\"");
      AppendExponent2(text, hit.expectation);
      text.append("\",\"");
      AppendFixed3(text, hit.probability);
      text.append("\",");
      AppendJsonString(text, hit.segment);
      if (hit.frame != 0) {
        text.push_back(',');
        AppendSigned(text, hit.frame);
      }
      text.push_back(']');
    }
    text.append("]}");
    out.Flush();
  }
  text.push_back(']');
}

}  // namespace

void WriteReport(const ReportCollector& collector, std::span<const ReportMotif> motifs,
                 const ReportContext& context, const ReportSink& sink) {
  sink(kReportPageHead);
  DataWriter out(sink);
  std::string& text = out.text();
  const std::vector<ReportSequence> sequences = collector.DrawnSequences();
  std::uint64_t drawnHits = 0;
  for (const ReportSequence& sequence : sequences)
    drawnHits += sequence.hits.size();

  text.append("{\"format\":1,");
  out.Key("program");
  AppendJsonString(text, context.program);
  text.push_back(',');
  out.Key("version");
  AppendJsonString(text, context.version);
  text.push_back(',');
  out.Key("inputs");
  out.Lines(context.inputs);
  text.push_back(',');
  out.Key("options");
  out.Lines(context.options);
  text.append(context.nucleotides ? ",\"unit\":\"nt\"," : ",\"unit\":\"aa\",");

  const ReportLimits& limits = collector.limits();
  text.append("\"limits\":{\"sequences\":");
  AppendUnsigned(text, limits.sequences);
  text.append(",\"hitsPerSequence\":");
  AppendUnsigned(text, limits.hitsPerSequence);
  text.append(",\"hits\":");
  AppendUnsigned(text, limits.hits);
  text.append(",\"nameBytes\":");
  AppendUnsigned(text, kReportNameBytes);
  text.append(",\"segmentBytes\":");
  AppendUnsigned(text, kReportSegmentBytes);
  text.append("},\"counts\":{\"sequences\":");
  AppendUnsigned(text, collector.sequences());
  text.append(",\"sequencesWithHits\":");
  AppendUnsigned(text, collector.sequencesWithHits());
  text.append(",\"hits\":");
  AppendUnsigned(text, collector.hits());
  text.append(",\"sequencesDrawn\":");
  AppendUnsigned(text, sequences.size());
  text.append(",\"hitsDrawn\":");
  AppendUnsigned(text, drawnHits);
  text.append("},\"palette\":[");
  for (std::size_t i = 0; i < kReportPalette.size(); ++i) {
    if (i > 0) text.push_back(',');
    AppendJsonString(text, kReportPalette[i]);
  }
  text.append("],");

  WriteMotifs(out, collector, motifs);
  WriteExpectations(out, collector);
  WriteSequences(out, sequences);
  text.push_back('}');
  out.Flush(true);
  sink(kReportPageTail);
}

std::string RenderReport(const ReportCollector& collector, std::span<const ReportMotif> motifs,
                         const ReportContext& context) {
  std::string page;
  WriteReport(collector, motifs, context, [&page](std::string_view bytes) { page.append(bytes); });
  return page;
}

}  // namespace brisel
