// pattern_parser_fuzz.cpp: the PROSITE pattern parser, and the expansion and
// statistics of the patterns it accepts.
#include <string_view>
#include <variant>

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
  std::uint64_t minimumWidth = 0, maximumWidth = 0;
  for (const PatternElement& e : pattern.elements) {
    FUZZ_CHECK((e.mask & ~kAllLettersMask) == 0);
    FUZZ_CHECK(e.mask != 0 || pattern.anchored);
    FUZZ_CHECK(e.minRepeats <= e.maxRepeats && e.maxRepeats <= kMaxRepeats);
    minimumWidth += e.minRepeats;
    maximumWidth += e.maxRepeats;
  }
  FUZZ_CHECK(minimumWidth >= 1);
  const std::uint64_t count = CountExpansions(pattern, 1000);
  // Very wide motifs are only slow, not different: leave them out.
  if (count > 1000 || pattern.anchored || count * maximumWidth > 1000000) return 0;

  double frequencies[123];
  InitializeCharToPercentageMap(frequencies);
  const auto motifs = ExpandPattern(pattern);
  FUZZ_CHECK(motifs.size() == count);
  for (const auto& motif : motifs) {
    FUZZ_CHECK(motif.size() >= minimumWidth);
    const MotifStatistics statistics = ComputeMotifStatistics(motif, frequencies);
    FUZZ_CHECK(statistics.specificity >= 0.0 && statistics.specificity <= 1.0);
    FUZZ_CHECK(statistics.homingPosition < motif.size());
    FUZZ_CHECK(statistics.homingMask == motif[statistics.homingPosition]);
  }
  return 0;
}
