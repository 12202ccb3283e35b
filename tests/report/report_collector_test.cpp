// SPDX-License-Identifier: MIT
// The report's collector and writer: what is counted and kept within the
// limits, the same bytes however sequences are spread over collectors and
// merged, and JSON text that any bytes leave safe inside the page.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "report/json_text.h"
#include "report/report_collector.h"
#include "report/report_writer.h"

namespace {

using brisel::ReportCollector;
using brisel::ReportHit;
using brisel::ReportLimits;

struct Sequence {
  std::uint64_t number;
  std::string name;
  std::vector<ReportHit> hits;
};

void Feed(ReportCollector& collector, const Sequence& sequence) {
  collector.BeginSequence(sequence.number, sequence.name, 500);
  for (const ReportHit& hit : sequence.hits)
    collector.AddHit(hit);
  collector.EndSequence();
}

ReportHit Hit(std::uint32_t motif, std::uint64_t start, double e,
              std::string_view segment = "RGD") {
  return {motif, start, start + segment.size() - 1, e, 0.5, segment, 0};
}

std::string Json(std::string_view bytes) {
  std::string out;
  brisel::AppendJsonString(out, bytes);
  return out;
}

std::string Page(const ReportCollector& collector) {
  const std::vector<brisel::ReportMotif> motifs = {{"PS00016 RGD", 1.112e-07}, {"PS00001 X", 0.5}};
  const std::vector<std::string_view> inputs = {"a.fasta"};
  brisel::ReportContext context;
  context.version = "1";
  context.inputs = inputs;
  return brisel::RenderReport(collector, motifs, context);
}

TEST(ReportCollector, CountsEverythingAndKeepsTheLowestExpectations) {
  ReportCollector collector(ReportLimits{.sequences = 2, .hitsPerSequence = 2, .hits = 3});
  // Best E per sequence: 0: 1e-3, 1: none, 2: 1e-5, 3: 1e-5 (a tie: the lower number
  // wins), 4: 1e-2.
  Feed(collector, {0, "s0", {Hit(0, 1, 1e-3), Hit(1, 5, 0.75)}});
  Feed(collector, {1, "s1", {}});
  Feed(collector, {2, "s2", {Hit(1, 9, 1.0), Hit(0, 3, 1e-5), Hit(1, 7, 1.0), Hit(1, 1, 0.0)}});
  Feed(collector, {3, "s3", {Hit(0, 2, 1e-5), Hit(1, 4, std::nan(""))}});
  Feed(collector, {4, "s4", {Hit(0, 2, 1e-2)}});
  collector.AddSequencesWithoutHits(10);

  EXPECT_EQ(collector.sequences(), 15u);
  EXPECT_EQ(collector.sequencesWithHits(), 4u);
  EXPECT_EQ(collector.hits(), 9u);
  EXPECT_EQ(collector.hitsPerMotif(), (std::vector<std::uint64_t>{4, 5}));
  const auto bin = [&](int k) { return collector.expectationBins()[k - ReportCollector::kMinBin]; };
  EXPECT_EQ(bin(0), 2u);   // E = 1
  EXPECT_EQ(bin(-1), 1u);  // 0.75
  EXPECT_EQ(bin(std::ilogb(1e-5)), 2u);
  EXPECT_EQ(collector.zeroExpectations(), 1u);
  EXPECT_EQ(collector.otherExpectations(), 1u);

  // Kept: sequences 2 (E = 0 is its best) and 3; of 2 its hits of E 0 and 1e-5, in
  // feeding order. Drawn: 3 hits, so 3 (ranked second) keeps its best hit only.
  const std::vector<brisel::ReportSequence> drawn = collector.DrawnSequences();
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_EQ(drawn[0].number, 2u);
  EXPECT_EQ(drawn[0].hitCount, 4u);
  EXPECT_EQ(drawn[0].bestExpectation, 0.0);
  ASSERT_EQ(drawn[0].hits.size(), 2u);
  EXPECT_EQ(drawn[0].hits[0].start, 3u);
  EXPECT_EQ(drawn[0].hits[0].order, 1u);
  EXPECT_EQ(drawn[0].hits[1].start, 1u);
  EXPECT_EQ(drawn[1].number, 3u);
  ASSERT_EQ(drawn[1].hits.size(), 1u);
  EXPECT_EQ(drawn[1].hits[0].start, 2u);

  const std::string page = Page(collector);
  EXPECT_NE(page.find(R"("counts":{"sequences":15,"sequencesWithHits":4,"hits":9,)"
                      R"("sequencesDrawn":2,"hitsDrawn":3})"),
            std::string::npos);
  EXPECT_NE(page.find(R"([0,3,5,"1.00e-05","0.500","RGD"])"), std::string::npos);
  EXPECT_NE(page.find(R"("specificity":"1.112e-07")"), std::string::npos);
}

TEST(ReportCollector, TranslatedHitsKeepTheirFrame) {
  ReportCollector collector;
  collector.BeginSequence(0, "contig", 3000);
  ReportHit hit = Hit(0, 1201, 2e-3);
  hit.frame = -2;
  collector.AddHit(hit);
  collector.EndSequence();
  brisel::ReportContext context;
  context.nucleotides = true;
  const std::string page = brisel::RenderReport(collector, {}, context);
  EXPECT_NE(page.find(R"("unit":"nt")"), std::string::npos);
  EXPECT_NE(page.find(R"([0,1201,1203,"2.00e-03","0.500","RGD",-2])"), std::string::npos);
}

TEST(ReportCollector, ShortensLongTextsAndRefusesMisuse) {
  ReportCollector collector;
  const std::string name = std::string(1100, 'n') + "\xC3\xA9";
  std::string segment(100, 'A');
  segment[29] = '\xC3';  // an "é" across the head's cut at 30 bytes
  segment[30] = '\xA9';
  Feed(collector, {0, std::string(1020, 'x') + "\xE2\x82\xAC" + name, {Hit(0, 1, 1, segment)}});
  const brisel::ReportSequence drawn = collector.DrawnSequences().at(0);
  EXPECT_EQ(drawn.name, std::string(1020, 'x') + "...");
  EXPECT_EQ(drawn.hits[0].segment, std::string(29, 'A') + "..." + std::string(31, 'A'));

  EXPECT_THROW(collector.AddHit(Hit(0, 1, 1)), std::logic_error);
  EXPECT_THROW(collector.EndSequence(), std::logic_error);
  collector.BeginSequence(1, "s", 10);
  EXPECT_THROW(collector.BeginSequence(2, "t", 10), std::logic_error);
  EXPECT_THROW(collector.AddHit(Hit(brisel::kReportMaxMotifs, 1, 1)), std::out_of_range);
  ReportCollector other(ReportLimits{.sequences = 5});
  EXPECT_THROW(collector.Merge(std::move(other)), std::invalid_argument);
}

// Random sequences spread over random collectors, fed on threads and merged
// in a random order, give the bytes of one collector fed in order; and
// renumbering the motifs gives the bytes of feeding the new numbers.
TEST(ReportCollector, SameBytesForEverySpreadAndMergeOrder) {
  std::mt19937_64 random(33);
  const double values[] = {1e-9,        3.71e-05, 3.71e-05, 0.0,
                           -0.0,        2.5,      1e300,    std::numeric_limits<double>::infinity(),
                           std::nan("")};
  for (int round = 0; round < 100; ++round) {
    const ReportLimits limits{.sequences = 1 + random() % 12,
                              .hitsPerSequence = 1 + random() % 6,
                              .hits = 1 + random() % 60};
    std::vector<Sequence> sequences(1 + random() % 80);
    for (std::size_t s = 0; s < sequences.size(); ++s) {
      sequences[s].number = s;
      sequences[s].name = "seq" + std::to_string(s);
      const std::size_t hits = random() % 3 == 0 ? 0 : random() % 12;
      for (std::size_t h = 0; h < hits; ++h) {
        sequences[s].hits.push_back(Hit(random() % 5, 1 + random() % 400, values[random() % 9]));
      }
    }
    ReportCollector whole(limits);
    for (const Sequence& sequence : sequences)
      Feed(whole, sequence);
    const std::string expected = Page(whole);

    const std::size_t count = 1 + random() % 5;
    std::vector<std::vector<const Sequence*>> shares(count);
    for (const Sequence& sequence : sequences)
      shares[random() % count].push_back(&sequence);
    std::vector<ReportCollector> collectors(count, ReportCollector(limits));
    {
      std::vector<std::jthread> threads;
      for (std::size_t c = 0; c < count; ++c) {
        threads.emplace_back([&, c] {
          for (const Sequence* sequence : shares[c])
            Feed(collectors[c], *sequence);
        });
      }
    }
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t k = 1; k < count; ++k) {
      collectors[order[0]].Merge(std::move(collectors[order[k]]));
    }
    ASSERT_TRUE(Page(collectors[order[0]]) == expected) << "round " << round;

    // Motifs renumbered (grouped) afterwards, or fed with their new numbers.
    const std::vector<std::uint32_t> to = {1, 0, 1, 1, 0};
    ReportCollector renumbered(limits);
    for (Sequence sequence : sequences) {
      for (ReportHit& hit : sequence.hits)
        hit.motif = to[hit.motif];
      Feed(renumbered, sequence);
    }
    collectors[order[0]].RenumberMotifs(to);
    ASSERT_TRUE(Page(collectors[order[0]]) == Page(renumbered)) << "round " << round;
  }
}

TEST(ReportJson, EscapesWhatCouldBreakThePageAndReplacesBrokenUtf8) {
  EXPECT_EQ(Json("RGD \"a\\b\""), R"("RGD \"a\\b\"")");
  EXPECT_EQ(Json("</script><!--"), R"("\u003c/script>\u003c!--")");
  EXPECT_EQ(Json(std::string("\0\t\n\r\x1f\x7f", 6)), R"("\u0000\t\n\r\u001f\u007f")");
  // é and an emoji pass; U+0085, U+2028, U+FFFE and U+1FFFF are escaped.
  EXPECT_EQ(Json("\xC3\xA9\xF0\x9F\x98\x80"), "\"\xC3\xA9\xF0\x9F\x98\x80\"");
  EXPECT_EQ(Json("\xC2\x85\xE2\x80\xA8\xEF\xBF\xBE\xF0\x9F\xBF\xBF"),
            R"("\u0085\u2028\ufffe\ud83f\udfff")");
  // A stray continuation, an overlong form, a surrogate, beyond U+10FFFF, a
  // truncated character: each byte not starting a character becomes U+FFFD.
  EXPECT_EQ(Json("\x80"), R"("\ufffd")");
  EXPECT_EQ(Json("\xC0\xAF"), R"("\ufffd\ufffd")");
  EXPECT_EQ(Json("\xED\xA0\x80"), R"("\ufffd\ufffd\ufffd")");
  EXPECT_EQ(Json("\xF4\x90\x80\x80"), R"("\ufffd\ufffd\ufffd\ufffd")");
  EXPECT_EQ(Json("a\xE2\x82"), R"("a\ufffd\ufffd")");

  // Any bytes: no '<', no control byte, and only bytes >= 0x80 that the
  // well-formed characters copied hold.
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes(random() % 16, '\0');
    for (char& c : bytes)
      c = static_cast<char>(random() % 256);
    const std::string json = Json(bytes);
    for (const char c : json) {
      ASSERT_TRUE(c != '<' && static_cast<unsigned char>(c) >= 0x20 && c != 0x7f);
    }
  }

  std::string numbers;
  brisel::AppendExponent2(numbers, 3.705e-05);
  numbers += ' ';
  brisel::AppendExponent3(numbers, 1.1115e-07);
  numbers += ' ';
  brisel::AppendFixed3(numbers, 0.9995);
  numbers += ' ';
  brisel::AppendExponent2(numbers, 0.0);
  char expected[64];
  std::snprintf(expected, sizeof expected, "%.2e %.3e %.3f %.2e", 3.705e-05, 1.1115e-07, 0.9995,
                0.0);
  EXPECT_EQ(numbers, expected);
}

}  // namespace
