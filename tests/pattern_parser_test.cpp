// SPDX-License-Identifier: MIT
// PROSITE patterns: letter masks, widths, expansions and syntax errors.
#include "pattern_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "brisel.h"
#include "support/motif_db.h"

namespace {

using Masks = std::vector<std::uint32_t>;

Pattern Parsed(std::string_view text) {
  auto result = ParsePattern(text);
  if (auto* error = std::get_if<PatternSyntaxError>(&result)) {
    ADD_FAILURE() << text << ": " << error->message << " at " << error->offset;
    return {};
  }
  return std::get<Pattern>(result);
}

std::vector<Masks> Motifs(std::string_view text) {
  std::vector<Masks> motifs;
  for (ExpandedMotif& motif : ExpandPattern(Parsed(text))) {
    EXPECT_EQ(motif.anchor, kUnanchored) << text;
    motifs.push_back(std::move(motif.positions));
  }
  return motifs;
}

// Each motif as its anchor and its masks.
using AnchoredMasks = std::pair<MotifAnchor, Masks>;
std::vector<AnchoredMasks> AnchoredMotifs(std::string_view text) {
  std::vector<AnchoredMasks> motifs;
  for (ExpandedMotif& motif : ExpandPattern(Parsed(text)))
    motifs.emplace_back(motif.anchor, std::move(motif.positions));
  return motifs;
}

PatternSyntaxError ErrorOf(std::string_view text) {
  auto result = ParsePattern(text);
  if (auto* error = std::get_if<PatternSyntaxError>(&result)) return *error;
  ADD_FAILURE() << text << " parsed";
  return {};
}

const std::uint32_t kAny = kAllLettersMask;

TEST(PatternParser, LettersSetsAndExclusions) {
  EXPECT_EQ(Motifs("R-G-D"), (std::vector<Masks>{{Letters("R"), Letters("G"), Letters("D")}}));
  EXPECT_EQ(Motifs("N-{P}-[ST]-{P}"), (std::vector<Masks>{{Letters("N"), kAny & ~Letters("P"),
                                                           Letters("ST"), kAny & ~Letters("P")}}));
  EXPECT_EQ(Motifs("[ST]-x-[RK]"), (std::vector<Masks>{{Letters("ST"), kAny, Letters("RK")}}));
}

TEST(PatternParser, DashesCaseAndTheFinalDotAreOptional) {
  const std::vector<Masks> rgd = Motifs("R-G-D");
  EXPECT_EQ(Motifs("RGD"), rgd);
  EXPECT_EQ(Motifs("r-g-d."), rgd);
  EXPECT_EQ(Motifs("[rk]X{p}"), (std::vector<Masks>{{Letters("RK"), kAny, kAny & ~Letters("P")}}));
}

TEST(PatternParser, FixedRepeatsWidenTheMotif) {
  EXPECT_EQ(Motifs("[RK](2)-x-[ST]"),
            (std::vector<Masks>{{Letters("RK"), Letters("RK"), kAny, Letters("ST")}}));
  EXPECT_EQ(Motifs("L-x(6)-L")[0].size(), 8u);
}

TEST(PatternParser, RangesExpandIntoOneMotifPerChoice) {
  const std::vector<Masks> motifs = Motifs("[RK]-x(2,3)-[DE]-x(2,3)-Y");
  ASSERT_EQ(motifs.size(), 4u);
  // The first range varies slowest: (2,2), (2,3), (3,2), (3,3).
  EXPECT_EQ(motifs[0], (Masks{Letters("RK"), kAny, kAny, Letters("DE"), kAny, kAny, Letters("Y")}));
  EXPECT_EQ(motifs[1].size(), 8u);
  EXPECT_EQ(motifs[1][3], Letters("DE"));
  EXPECT_EQ(motifs[2].size(), 8u);
  EXPECT_EQ(motifs[2][4], Letters("DE"));
  EXPECT_EQ(motifs[3].size(), 9u);
  EXPECT_EQ(Motifs("x(0,1)-A"), (std::vector<Masks>{{Letters("A")}, {kAny, Letters("A")}}));
}

TEST(PatternParser, CountingExpansionsStopsAboveTheCap) {
  EXPECT_EQ(CountExpansions(Parsed("C-x(2,4)-C-x(3)-H-x(3,5)-H"), 1000), 9u);
  EXPECT_EQ(CountExpansions(Parsed("x(1,10)-A-x(1,10)-x(1,11)"), 1000), 1001u);
  EXPECT_EQ(CountExpansions(Parsed("x(0,99999)-A-x(0,99999)-x(0,99999)"), 1000), 1001u);
}

TEST(PatternParser, CountingPositionsStopsAboveTheCap) {
  // Widths 4 + 5 + 6 and 5 + 6 + 7.
  EXPECT_EQ(CountExpandedPositions(Parsed("C-x(2,3)-C-x(0,2)"), 1000), 33u);
  // "A-x(1,4)-G", then the form "A-x(1,4)>".
  EXPECT_EQ(CountExpandedPositions(Parsed("A-x(1,4)-[G>]"), 1000),
            (3u + 4 + 5 + 6) + (2 + 3 + 4 + 5));
  const std::uint64_t cap = 4294967295u;
  EXPECT_EQ(CountExpandedPositions(Parsed("x(1,100000)"), cap), cap + 1);
  EXPECT_EQ(CountExpandedPositions(Parsed("x(0,99999)-A-x(0,99999)-x(0,99999)"), cap), cap + 1);
}

TEST(PatternParser, AnchorsTieEveryMotifOfTheirForm) {
  EXPECT_FALSE(Parsed("A-G").anchored());
  const Masks kdel = {Letters("KRHQSA"), Letters("DENQ"), Letters("E"), Letters("L")};
  EXPECT_EQ(AnchoredMotifs("[KRHQSA]-[DENQ]-E-L>."),
            (std::vector<AnchoredMasks>{{kAnchoredAtEnd, kdel}}));
  EXPECT_EQ(AnchoredMotifs("<M-x-K"),
            (std::vector<AnchoredMasks>{{kAnchoredAtStart, {Letters("M"), kAny, Letters("K")}}}));
  EXPECT_EQ(AnchoredMotifs("<M-K>"),
            (std::vector<AnchoredMasks>{{kAnchoredAtBothEnds, {Letters("M"), Letters("K")}}}));
  // A leading range expands like any other, each motif tied to the start.
  EXPECT_EQ(AnchoredMotifs("<x(0,2)-C"),
            (std::vector<AnchoredMasks>{{kAnchoredAtStart, {Letters("C")}},
                                        {kAnchoredAtStart, {kAny, Letters("C")}},
                                        {kAnchoredAtStart, {kAny, kAny, Letters("C")}}}));
  EXPECT_EQ(CountExpansions(Parsed("<x(0,11)-C-x-C"), 1000), 12u);
}

TEST(PatternParser, AnAnchorInTheLastLetterSetMakesItOptionalAtTheEnd) {
  EXPECT_TRUE(Parsed("A-x-[G>]").anchored());
  EXPECT_EQ(AnchoredMotifs("A-x-[G>]."),
            (std::vector<AnchoredMasks>{{kUnanchored, {Letters("A"), kAny, Letters("G")}},
                                        {kAnchoredAtEnd, {Letters("A"), kAny}}}));
  EXPECT_EQ(AnchoredMotifs("<A-[GS>]>"),
            (std::vector<AnchoredMasks>{{kAnchoredAtBothEnds, {Letters("A"), Letters("GS")}},
                                        {kAnchoredAtBothEnds, {Letters("A")}}}));
  EXPECT_EQ(AnchoredMotifs("A-[>]"),
            (std::vector<AnchoredMasks>{{kAnchoredAtEnd, {Letters("A")}}}));
  EXPECT_EQ(CountExpansions(Parsed("x(1,3)-[G>]"), 1000), 6u);
  EXPECT_EQ(CountExpansions(Parsed("x(1,3)-[>]"), 1000), 3u);
}

struct BadPattern {
  const char* text;
  std::size_t offset;
  const char* message;
};

TEST(PatternParser, MalformedPatternsNameTheirFault) {
  const BadPattern cases[] = {
      {"", 0, "empty pattern"},
      {"A--G", 2, "unexpected '-'"},
      {"-A", 0, "unexpected '-'"},
      {"A-", 2, "a pattern element was expected"},
      {"A-.", 2, "a pattern element was expected"},
      {"[AB", 0, "unclosed '['"},
      {"A-{P", 2, "unclosed '{'"},
      {"[]", 1, "empty letter set"},
      {"[A1]", 2, "unexpected '1' in a letter set"},
      {"{<A}", 1, "unexpected '<' in a letter set"},
      {"A(0)", 2, "a repeat count of 0"},
      {"A(3,2)", 2, "the repeat range is empty"},
      {"A(2", 3, "')' was expected"},
      {"A(x)", 2, "a number was expected"},
      {"A(100001)", 2, "repeat count above 100000"},
      {"A.B", 2, "unexpected 'B' after the end of the pattern"},
      {"A-G>-C", 4, "unexpected '-' after the end of the pattern"},
      {"A-1", 2, "unexpected '1'"},
      {"A B", 1, "unexpected ' '"},
      {"x(0,2)", 0, "the pattern allows a motif of no positions"},
      {"A-{ABCDEFGHIJKLMNOPQRSTUVWXYZ}", 2, "the letter set excludes every letter"},
      {"A-\x01", 2, "unexpected byte 0x01"},
      {"A-[G>]-C", 4, "'>' in a letter set is allowed only in the last element"},
      {"A-[G>](2)", 6, "a letter set with '>' takes no repeat count"},
      {"[G>]", 0, "the pattern allows a motif of no positions"},
      {"<x(0,2)-[>]", 0, "the pattern allows a motif of no positions"},
      {"{G>}", 2, "unexpected '>' in a letter set"},
      {"<>", 1, "a pattern element was expected"},
  };
  for (const BadPattern& bad : cases) {
    const PatternSyntaxError error = ErrorOf(bad.text);
    EXPECT_EQ(error.offset, bad.offset) << bad.text;
    EXPECT_EQ(error.message, bad.message) << bad.text;
  }
}

}  // namespace
