// SPDX-License-Identifier: MIT
// pattern_parser_fuzz.cpp: the PROSITE pattern parser, and the distinct
// motifs and statistics of the patterns it accepts.
#include <algorithm>
#include <string_view>
#include <variant>
#include <vector>

#include "brisel.h"
#include "fuzz_bodies.h"
#include "patterns/motif_statistics.h"
#include "patterns/pattern_expansion.h"
#include "patterns/pattern_parser.h"

namespace brisel {

namespace {

// Every choice of repeat counts of every form, in expansion order, duplicates
// and all; stops after `cap` + 1 motifs.
std::vector<ExpandedMotif> ExpandEveryChoice(const std::vector<PatternForm>& forms,
                                             std::size_t cap) {
  std::vector<ExpandedMotif> motifs;
  for (const PatternForm& form : forms) {
    std::vector<std::uint32_t> repeats;
    for (const PatternElement& e : form.elements)
      repeats.push_back(e.minRepeats);
    for (;;) {
      if (motifs.size() > cap) return motifs;
      ExpandedMotif& motif = motifs.emplace_back(ExpandedMotif{{}, form.anchor});
      for (std::size_t i = 0; i < form.elements.size(); ++i) {
        motif.positions.insert(motif.positions.end(), repeats[i], form.elements[i].mask);
      }
      std::size_t i = form.elements.size();
      while (i > 0 && repeats[i - 1] == form.elements[i - 1].maxRepeats) {
        repeats[i - 1] = form.elements[i - 1].minRepeats;
        --i;
      }
      if (i == 0) break;
      ++repeats[i - 1];
    }
  }
  return motifs;
}

}  // namespace

int FuzzPatternParser(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto parsed = ParsePattern(text);
  if (const auto* error = std::get_if<PatternSyntaxError>(&parsed)) {
    FUZZ_CHECK(error->offset <= text.size());
    FUZZ_CHECK(!error->message.empty());
    return 0;
  }
  const Pattern& pattern = std::get<Pattern>(parsed);
  FUZZ_CHECK(!pattern.elements.empty());
  std::uint64_t maximumWidth = 0;
  for (std::size_t i = 0; i < pattern.elements.size(); ++i) {
    const PatternElement& e = pattern.elements[i];
    FUZZ_CHECK((e.mask & ~kAllLettersMask) == 0);
    // Only an optional last element ("[>]") may allow no letter.
    FUZZ_CHECK(e.mask != 0 || (pattern.optionalLastElement && i + 1 == pattern.elements.size()));
    FUZZ_CHECK(e.minRepeats <= e.maxRepeats && e.maxRepeats <= kMaxRepeats);
    maximumWidth += e.maxRepeats;
  }
  const std::vector<PatternForm> forms = PatternForms(pattern);
  FUZZ_CHECK(!forms.empty() && forms.size() <= 2);
  for (const PatternForm& form : forms) {
    std::uint64_t minimumWidth = 0;
    for (const PatternElement& e : form.elements) {
      FUZZ_CHECK(e.mask != 0);
      minimumWidth += e.minRepeats;
    }
    FUZZ_CHECK(minimumWidth >= 1);
    FUZZ_CHECK(((form.anchor & kAnchoredAtStart) != 0) == pattern.startAnchored);
  }
  // The distinct motifs against a plain expansion of every choice, on patterns
  // of few choices: very wide motifs are only slow, not different.
  std::uint64_t choices = 0;
  for (const PatternForm& form : forms) {
    std::uint64_t product = 1;
    for (const PatternElement& e : form.elements)
      product = std::min<std::uint64_t>(product * (e.maxRepeats - e.minRepeats + 1), 1001);
    choices += product;
  }
  if (choices > 1000 || choices * maximumWidth > 1000000) return 0;
  const std::vector<ExpandedMotif> naive = ExpandEveryChoice(forms, 1000);
  std::vector<ExpandedMotif> distinct;
  for (const ExpandedMotif& motif : naive) {
    if (std::find(distinct.begin(), distinct.end(), motif) == distinct.end()) {
      distinct.push_back(motif);
    }
  }
  const DistinctMotifs expansion = ExpandDistinctMotifs(pattern, 1000, 1000000);
  FUZZ_CHECK(expansion.outcome() == DistinctMotifs::Outcome::kComplete);
  FUZZ_CHECK(expansion.size() == distinct.size());

  const LetterFrequencies frequencies = BackgroundLetterFrequencies();
  std::uint64_t positions = 0;
  for (std::size_t i = 0; i < distinct.size(); ++i) {
    const ExpandedMotif motif = expansion.Motif(i);
    FUZZ_CHECK(motif == distinct[i]);
    FUZZ_CHECK(!motif.positions.empty());
    FUZZ_CHECK(motif.anchor <= kAnchoredAtBothEnds);
    positions += motif.positions.size();
    const MotifStatistics statistics = ComputeMotifStatistics(motif.positions, frequencies);
    FUZZ_CHECK(statistics.specificity >= 0.0 && statistics.specificity <= 1.0);
    FUZZ_CHECK(statistics.homingPosition < motif.positions.size());
    FUZZ_CHECK(statistics.homingMask == motif.positions[statistics.homingPosition]);
  }
  FUZZ_CHECK(expansion.positions() == positions);
  return 0;
}

}  // namespace brisel
