// SPDX-License-Identifier: MIT
// pattern_sources.cpp: PROSITE flat files and pattern lists.
#include "patterns/pattern_sources.h"

#include <string_view>
#include <utility>

#include "staging/build_error.h"

namespace brisel {

namespace {

struct Line {
  std::string text;  // without a final carriage return
  std::uint64_t number;
};

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::size_t SkipSpaces(std::string_view text, std::size_t from) {
  while (from < text.size() && IsSpace(text[from]))
    ++from;
  return from;
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsSpace(text.back()))
    text.remove_suffix(1);
  return text;
}

// The text of an ID or AC line up to its first ';', trimmed.
std::string FieldValue(std::string_view body) {
  body = body.substr(SkipSpaces(body, 0));
  return std::string(TrimRight(body.substr(0, body.find(';'))));
}

// Blank lines and '#' comments belong to neither format's content.
bool IsBlankOrComment(std::string_view text) {
  const std::size_t start = SkipSpaces(text, 0);
  return start == text.size() || text[start] == '#';
}

bool IsLineCodeCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// "//", or a two-character line code such as ID, AC, DE, PA, CC, DR or 3D
// followed by three spaces.
bool IsPrositeLine(std::string_view text) {
  if (text.starts_with("//")) return true;
  return text.size() >= 5 && IsLineCodeCharacter(text[0]) && IsLineCodeCharacter(text[1]) &&
         text.substr(2, 3) == "   ";
}

bool IsPrositeFile(const std::vector<Line>& lines) {
  bool hasId = false, hasEnd = false;
  bool content = false, onlyPrositeLines = true;
  for (const Line& line : lines) {
    hasId |= line.text.starts_with("ID   ");
    hasEnd |= line.text.starts_with("//");
    if (IsBlankOrComment(line.text)) continue;
    content = true;
    onlyPrositeLines &= IsPrositeLine(line.text);
  }
  return (hasId && hasEnd) || (content && onlyPrositeLines);
}

void CheckRecord(std::string_view inputName, const PatternSource& source) {
  const char* problem = nullptr;
  if (source.record.find('|') != std::string::npos) {
    problem = "contains '|', which would break the fields of the hit line";
  } else if (source.record.find('\0') != std::string::npos) {
    problem = "contains a NUL byte, which would cut it short";
  } else if (source.record.find('\n') != std::string::npos) {
    problem = "contains a newline, which would break the hit line";
  }
  if (problem != nullptr) {
    throw Placed(BuildError(std::string(inputName) + ":" + std::to_string(source.line()) +
                            ": the record '" + source.record + "' " + problem),
                 {std::string(inputName), source.line(), source.record});
  }
}

std::vector<PatternSource> ReadPatternList(const InputFile& input, const std::vector<Line>& lines,
                                           ReadingProgress& progress) {
  std::vector<PatternSource> sources;
  for (const Line& line : lines) {
    const std::string_view text = line.text;
    const std::size_t start = SkipSpaces(text, 0);
    if (start == text.size() || text[start] == '#') continue;
    std::size_t end = start;
    while (end < text.size() && !IsSpace(text[end]))
      ++end;
    PatternSource source;
    source.pattern = std::string(text.substr(start, end - start));
    source.record = std::string(TrimRight(text.substr(SkipSpaces(text, end))));
    if (source.record.empty()) source.record = source.pattern;
    source.segments.push_back({0, line.number, start + 1});
    CheckRecord(input.name(), source);
    sources.push_back(std::move(source));
    progress.Record();
  }
  return sources;
}

std::vector<PatternSource> ReadPrositeFile(const InputFile& input, const std::vector<Line>& lines,
                                           ReadingProgress& progress) {
  std::vector<PatternSource> sources;
  std::string id, accession;
  PatternSource entry;
  const auto finishEntry = [&] {
    if (!entry.segments.empty()) {
      const std::string at = input.name() + ":" + std::to_string(entry.line()) + ": ";
      if (accession.empty()) throw BuildError(at + "an entry with a PA line has no AC line");
      if (id.empty()) throw BuildError(at + "an entry with a PA line has no ID line");
      entry.record = accession + " " + id;
      CheckRecord(input.name(), entry);
      sources.push_back(std::move(entry));
      progress.Record();
    }
    entry = PatternSource();
    id.clear();
    accession.clear();
  };
  std::uint64_t entryStart = 0;  // the line of the entry not yet ended by "//"; 0: none
  for (const Line& line : lines) {
    const std::string_view text = line.text;
    if (text.starts_with("//")) {
      finishEntry();
      entryStart = 0;
      continue;
    }
    if (entryStart == 0 && !IsBlankOrComment(text)) entryStart = line.number;
    const std::string_view body = text.size() > 2 ? text.substr(2) : std::string_view();
    if (text.starts_with("ID")) {
      id = FieldValue(body);
    } else if (text.starts_with("AC")) {
      accession = FieldValue(body);
    } else if (text.starts_with("PA")) {
      const std::size_t start = SkipSpaces(body, 0);
      const std::string_view piece = TrimRight(body.substr(start));
      entry.segments.push_back({entry.pattern.size(), line.number, start + 3});
      entry.pattern += piece;
    }
  }
  // A file cut short would otherwise lose its last entry, or worse, give it
  // only the PA lines that were read.
  if (entryStart != 0) {
    throw BuildError(input.name() + ":" + std::to_string(entryStart) +
                     ": the entry that starts on this line is not ended by a '//' line");
  }
  return sources;
}

}  // namespace

std::string PatternSource::Location(std::size_t offset) const {
  const Segment* at = &segments.front();
  for (const Segment& segment : segments) {
    if (segment.offset <= offset) at = &segment;
  }
  return std::to_string(at->line) + ":" + std::to_string(at->column + (offset - at->offset));
}

std::vector<PatternSource> PatternSourcesOf(std::string_view inputName,
                                            std::span<const PatternEntry> entries) {
  std::vector<PatternSource> sources;
  sources.reserve(entries.size());
  for (std::size_t k = 0; k < entries.size(); ++k) {
    PatternSource source;
    source.pattern = entries[k].pattern;
    source.record = entries[k].record.empty() ? entries[k].pattern : entries[k].record;
    source.segments.push_back({0, k + 1, 1});
    CheckRecord(inputName, source);
    sources.push_back(std::move(source));
  }
  return sources;
}

std::vector<PatternSource> ReadPatternSources(InputFile& input, ReadingProgress& progress) {
  std::vector<Line> lines;
  std::string_view text;
  while (input.NextLine(text)) {
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    lines.push_back({std::string(text), input.lineNumber()});
  }
  return IsPrositeFile(lines) ? ReadPrositeFile(input, lines, progress)
                              : ReadPatternList(input, lines, progress);
}

}  // namespace brisel
