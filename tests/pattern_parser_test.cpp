// SPDX-License-Identifier: MIT
// PROSITE patterns: letter masks, widths, distinct expansions and syntax
// errors.
#include "patterns/pattern_parser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "brisel.h"
#include "patterns/motif_builder.h"
#include "patterns/pattern_expansion.h"
#include "support/motif_db.h"

using namespace brisel;

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

// Every distinct motif of a pattern known to have few, in expansion order.
std::vector<ExpandedMotif> ExpandPattern(const Pattern& pattern) {
  constexpr std::uint64_t kUnlimited = std::numeric_limits<std::uint64_t>::max() - 1;
  const DistinctMotifs distinct = ExpandDistinctMotifs(pattern, kUnlimited, kUnlimited);
  std::vector<ExpandedMotif> motifs;
  for (std::uint64_t i = 0; i < distinct.size(); ++i)
    motifs.push_back(distinct.Motif(i));
  return motifs;
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

DistinctMotifs Expansion(std::string_view text, std::uint64_t maxMotifs,
                         std::uint64_t maxSteps = 1000000) {
  return ExpandDistinctMotifs(Parsed(text), maxMotifs, maxSteps);
}

TEST(PatternExpansion, StopsAboveTheMotifCap) {
  const DistinctMotifs zinc = Expansion("C-x(2,4)-C-x(3)-H-x(3,5)-H", 1000);
  EXPECT_EQ(zinc.outcome(), DistinctMotifs::Outcome::kComplete);
  EXPECT_EQ(zinc.size(), 9u);
  // 1,100 choices, 200 distinct motifs (x(1,10)-x(1,11) is x(2,21)).
  EXPECT_EQ(Expansion("x(1,10)-A-x(1,10)-x(1,11)", 1000).size(), 200u);
  EXPECT_EQ(Expansion("x(1,10)-A-x(1,10)-x(1,11)", 199).outcome(),
            DistinctMotifs::Outcome::kTooManyMotifs);
  EXPECT_EQ(Expansion("x(1,10)-A-x(1,10)-C-x(1,11)", 1099).outcome(),
            DistinctMotifs::Outcome::kTooManyMotifs);
  EXPECT_EQ(Expansion("x(1,10)-A-x(1,10)-C-x(1,11)", 1100).size(), 1100u);
  EXPECT_EQ(Expansion("x(0,99999)-A-x(0,99999)-x(0,99999)", 1000).outcome(),
            DistinctMotifs::Outcome::kTooManyMotifs);
}

TEST(PatternExpansion, CountsThePositionsOfItsMotifs) {
  // Widths 4 + 5 + 6 and 5 + 6 + 7.
  EXPECT_EQ(Expansion("C-x(2,3)-C-x(0,2)", 1000).positions(), 33u);
  // "A-x(1,4)-G", then the form "A-x(1,4)>".
  EXPECT_EQ(Expansion("A-x(1,4)-[G>]", 1000).positions(), (3u + 4 + 5 + 6) + (2 + 3 + 4 + 5));
  // x(21) to x(42): the duplicates of x(1,2) twenty-one times are not counted.
  EXPECT_EQ(
      Expansion("x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-"
                "x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)-x(1,2)",
                1000)
          .positions(),
      (21u + 42) * 22 / 2);
}

TEST(PatternExpansion, IdenticalMotifsOfOnePatternAreKeptOnce) {
  const Masks ac = {Letters("A"), Letters("C")};
  EXPECT_EQ(Motifs("A-x(0,1)-x(0,1)-C"),
            (std::vector<Masks>{{ac[0], ac[1]}, {ac[0], kAny, ac[1]}, {ac[0], kAny, kAny, ac[1]}}));
  EXPECT_EQ(Motifs("[AC](1,2)-x-[CA](2,3)"), Motifs("[AC](1,2)-x-[AC](2,3)"));
  // The forms of one pattern: A(2)> is in both; motifs that differ only in
  // their anchors are different.
  const Masks a1 = {Letters("A")}, a2 = {Letters("A"), Letters("A")},
              a3 = {Letters("A"), Letters("A"), Letters("A")};
  EXPECT_EQ(AnchoredMotifs("A(1,2)-[A>]>"),
            (std::vector<AnchoredMasks>{
                {kAnchoredAtEnd, a2}, {kAnchoredAtEnd, a3}, {kAnchoredAtEnd, a1}}));
  EXPECT_EQ(AnchoredMotifs("A(1,2)-[A>]"),
            (std::vector<AnchoredMasks>{
                {kUnanchored, a2}, {kUnanchored, a3}, {kAnchoredAtEnd, a1}, {kAnchoredAtEnd, a2}}));
}

TEST(PatternExpansion, OverlappingRangesAreCheapAndTheStepsBounded) {
  std::string twenty = "x(1,2)";
  for (int i = 1; i < 20; ++i)
    twenty += "-x(1,2)";
  const DistinctMotifs x20 = Expansion(twenty, 100000, 100);
  ASSERT_EQ(x20.outcome(), DistinctMotifs::Outcome::kComplete) << "2^20 choices, 21 motifs";
  ASSERT_EQ(x20.size(), 21u);
  for (std::size_t i = 0; i < 21; ++i)
    EXPECT_EQ(x20.Motif(i).positions, Masks(20 + i, kAny));
  // Ranges of one letter between elements that are always absent.
  std::string separated = "C";
  for (int i = 0; i < 16; ++i)
    separated += "-A(0,1)-G(0,0)";
  const DistinctMotifs separatedMotifs = Expansion(separated, 100000, 100);
  ASSERT_EQ(separatedMotifs.outcome(), DistinctMotifs::Outcome::kComplete);
  EXPECT_EQ(separatedMotifs.size(), 17u);
  EXPECT_EQ(separatedMotifs.Motif(16).positions.size(), 17u);
  // Ranges kept apart by ranges of other letters, then 200 fixed elements that
  // every motif ends with: 4^6 choices, 609 motifs, within 5,000 steps.
  std::string tailed = "C";
  for (int i = 0; i < 6; ++i)
    tailed += "-A(0,1)-C(0,1)";
  for (int i = 0; i < 100; ++i)
    tailed += "-D-E";
  const DistinctMotifs tailedMotifs = Expansion(tailed, 100000, 5000);
  ASSERT_EQ(tailedMotifs.outcome(), DistinctMotifs::Outcome::kComplete);
  EXPECT_EQ(tailedMotifs.size(), 609u);
  EXPECT_EQ(tailedMotifs.Motif(0).positions.size(), 201u);
  // The same fifteen times: 4^15 choices, most of them distinct; the walk
  // stops at the motif cap or at the step bound.
  std::string alternating = "C";
  for (int i = 0; i < 15; ++i)
    alternating += "-A(0,1)-C(0,1)";
  EXPECT_EQ(Expansion(alternating, 100000, kMaxExpansionSteps).outcome(),
            DistinctMotifs::Outcome::kTooManyMotifs);
  EXPECT_EQ(Expansion(alternating, 100000, 1000).outcome(), DistinctMotifs::Outcome::kTooManySteps);
}

// Every choice of every form, duplicates and all, in expansion order.
std::vector<ExpandedMotif> ExpandEveryChoice(const Pattern& pattern) {
  std::vector<ExpandedMotif> motifs;
  for (const PatternForm& form : PatternForms(pattern)) {
    std::vector<std::uint32_t> repeats;
    for (const PatternElement& e : form.elements)
      repeats.push_back(e.minRepeats);
    for (bool more = true; more;) {
      ExpandedMotif& motif = motifs.emplace_back(ExpandedMotif{{}, form.anchor});
      for (std::size_t i = 0; i < form.elements.size(); ++i) {
        motif.positions.insert(motif.positions.end(), repeats[i], form.elements[i].mask);
      }
      more = false;
      for (std::size_t i = form.elements.size(); i > 0 && !more; --i) {
        more = repeats[i - 1] < form.elements[i - 1].maxRepeats;
        repeats[i - 1] = more ? repeats[i - 1] + 1 : form.elements[i - 1].minRepeats;
      }
    }
  }
  return motifs;
}

// Random small patterns of few letters, ranges that may be empty, and anchors:
// the distinct expansion is the list of distinct motifs of every choice, in the
// order they first appear.
TEST(PatternExpansion, EqualsTheDistinctMotifsOfEveryChoiceInFirstSeenOrder) {
  std::mt19937 random(20);
  const char* const letters[] = {"A", "C", "x", "[AC]", "{A}"};
  const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  int checked = 0, withDuplicates = 0;
  for (int trial = 0; trial < 3000; ++trial) {
    std::string text = pick(4) == 0 ? "<" : "";
    const int elements = 1 + pick(6);
    for (int e = 0; e < elements; ++e) {
      if (e > 0) text += "-";
      text += letters[pick(5)];
      const int min = pick(3), max = min + pick(3);
      if (min != 1 || max != 1) text += "(" + std::to_string(min) + "," + std::to_string(max) + ")";
    }
    const int end = pick(8);
    if (end == 0) text += ">";
    if (end == 1) text += "-[A>]";
    if (end == 2) text += "-[>]";
    if (end == 3) text += "-[A>]>";
    if (end == 4) text += "-[AC>]>";
    const auto parsed = ParsePattern(text);
    if (!std::holds_alternative<Pattern>(parsed)) continue;  // a motif of no positions
    const Pattern& pattern = std::get<Pattern>(parsed);

    const std::vector<ExpandedMotif> every = ExpandEveryChoice(pattern);
    std::vector<ExpandedMotif> distinct;
    for (const ExpandedMotif& motif : every) {
      if (std::find(distinct.begin(), distinct.end(), motif) == distinct.end()) {
        distinct.push_back(motif);
      }
    }
    ASSERT_EQ(ExpandPattern(pattern), distinct) << text;
    ++checked;
    withDuplicates += distinct.size() < every.size();
  }
  EXPECT_GT(checked, 2000);
  EXPECT_GT(withDuplicates, 500);
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
  EXPECT_EQ(Expansion("<x(0,11)-C-x-C", 1000).size(), 12u);
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
  EXPECT_EQ(Expansion("x(1,3)-[G>]", 1000).size(), 6u);
  EXPECT_EQ(Expansion("x(1,3)-[>]", 1000).size(), 3u);
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
