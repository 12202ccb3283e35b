// SPDX-License-Identifier: MIT
// pattern_parser_fuzz.cpp: the PROSITE pattern parser, and the expansion and
// statistics of the patterns it accepts.
#include <string_view>
#include <variant>
#include <vector>

#include "brisel.h"
#include "fuzz_bodies.h"
#include "motif_statistics.h"
#include "pattern_parser.h"

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
  const std::uint64_t count = CountExpansions(pattern, 1000);
  // Very wide motifs are only slow, not different: leave them out.
  if (count > 1000 || count * maximumWidth > 1000000) return 0;

  double frequencies[123];
  InitializeCharToPercentageMap(frequencies);
  const std::vector<ExpandedMotif> motifs = ExpandPattern(pattern);
  FUZZ_CHECK(motifs.size() == count);
  std::uint64_t positions = 0;
  for (const ExpandedMotif& motif : motifs) {
    FUZZ_CHECK(!motif.positions.empty());
    FUZZ_CHECK(motif.anchor <= kAnchoredAtBothEnds);
    positions += motif.positions.size();
    const MotifStatistics statistics = ComputeMotifStatistics(motif.positions, frequencies);
    FUZZ_CHECK(statistics.specificity >= 0.0 && statistics.specificity <= 1.0);
    FUZZ_CHECK(statistics.homingPosition < motif.positions.size());
    FUZZ_CHECK(statistics.homingMask == motif.positions[statistics.homingPosition]);
  }
  FUZZ_CHECK(CountExpandedPositions(pattern, 1000000000) == positions);
  return 0;
}
