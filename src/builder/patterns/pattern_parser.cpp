// SPDX-License-Identifier: MIT
// pattern_parser.cpp: a recursive-descent reader of PROSITE patterns.
#include "patterns/pattern_parser.h"

#include <cctype>
#include <cstdio>

#include "database/motif_database.h"
#include "residues/letter_masks.h"

namespace brisel {

namespace {

std::uint32_t LetterBit(char c) {
  return std::uint32_t{1} << (std::toupper(static_cast<unsigned char>(c)) - 'A');
}

bool IsLetter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}

std::string Quoted(char c) {
  if (std::isprint(static_cast<unsigned char>(c))) return std::string("'") + c + "'";
  char code[16];
  std::snprintf(code, sizeof code, "byte 0x%02X", static_cast<unsigned char>(c));
  return code;
}

class PatternReader {
 public:
  explicit PatternReader(std::string_view text) : text_(text) {}

  std::variant<Pattern, PatternSyntaxError> Read() {
    Pattern pattern;
    if (text_.empty()) return Fail("empty pattern");
    if (Peek() == '<') {
      pattern.startAnchored = true;
      ++at_;
    }
    for (;;) {
      if (AtEnd() || Peek() == '.' || Peek() == '>') {
        if (pattern.elements.empty()) return Fail("a pattern element was expected");
        break;
      }
      if (setAnchorOffset_ != kNoOffset) {
        at_ = setAnchorOffset_;
        return Fail("'>' in a letter set is allowed only in the last element");
      }
      if (!ReadElement(pattern)) return error_;
      if (!AtEnd() && Peek() == '-') {
        ++at_;
        if (AtEnd() || Peek() == '.' || Peek() == '>')
          return Fail("a pattern element was expected");
      }
    }
    if (!AtEnd() && Peek() == '>') {
      pattern.endAnchored = true;
      ++at_;
    }
    if (!AtEnd() && Peek() == '.') ++at_;
    if (!AtEnd()) return Fail("unexpected " + Quoted(Peek()) + " after the end of the pattern");
    pattern.optionalLastElement = setAnchorOffset_ != kNoOffset;
    for (const PatternForm& form : PatternForms(pattern)) {
      if (MinimumWidth(form.elements) == 0) {
        at_ = 0;
        return Fail("the pattern allows a motif of no positions");
      }
    }
    return pattern;
  }

 private:
  bool AtEnd() const { return at_ >= text_.size(); }
  char Peek() const { return text_[at_]; }

  PatternSyntaxError Fail(std::string message) {
    error_ = {at_, std::move(message)};
    return error_;
  }

  static std::uint64_t MinimumWidth(const std::vector<PatternElement>& elements) {
    std::uint64_t width = 0;
    for (const PatternElement& e : elements)
      width += e.minRepeats;
    return width;
  }

  bool ReadElement(Pattern& pattern) {
    PatternElement element{0, 1, 1};
    const char c = Peek();
    if (c == 'x' || c == 'X') {
      element.mask = kAllLettersMask;
      ++at_;
    } else if (IsLetter(c)) {
      element.mask = LetterBit(c);
      ++at_;
    } else if (c == '[' || c == '{') {
      if (!ReadLetterSet(element)) return false;
    } else {
      Fail("unexpected " + Quoted(c));
      return false;
    }
    if (!AtEnd() && Peek() == '(') {
      if (setAnchorOffset_ != kNoOffset) {
        Fail("a letter set with '>' takes no repeat count");
        return false;
      }
      if (!ReadRepeats(element)) return false;
    }
    pattern.elements.push_back(element);
    return true;
  }

  // "[...]" or "{...}": at least one letter; "[...]" may hold the anchor '>'.
  bool ReadLetterSet(PatternElement& element) {
    const bool excluded = Peek() == '{';
    const char close = excluded ? '}' : ']';
    const std::size_t open = at_++;
    std::uint32_t listed = 0;
    bool any = false;
    bool anchor = false;
    while (!AtEnd() && Peek() != close) {
      const char c = Peek();
      if (IsLetter(c)) {
        listed |= LetterBit(c);
        any = true;
      } else if (c == '>' && !excluded) {
        if (!anchor) setAnchorOffset_ = at_;
        anchor = true;
      } else {
        Fail("unexpected " + Quoted(c) + " in a letter set");
        return false;
      }
      ++at_;
    }
    if (AtEnd()) {
      at_ = open;
      Fail(std::string("unclosed '") + text_[open] + "'");
      return false;
    }
    if (!any && !anchor) {
      Fail("empty letter set");
      return false;
    }
    ++at_;
    element.mask = excluded ? (kAllLettersMask & ~listed) : listed;
    if (element.mask == 0 && !anchor) {
      at_ = open;
      Fail("the letter set excludes every letter");
      return false;
    }
    return true;
  }

  bool ReadNumber(std::uint32_t& value) {
    if (AtEnd() || !std::isdigit(static_cast<unsigned char>(Peek()))) {
      Fail("a number was expected");
      return false;
    }
    const std::size_t start = at_;
    std::uint64_t number = 0;
    while (!AtEnd() && std::isdigit(static_cast<unsigned char>(Peek()))) {
      number = number * 10 + static_cast<std::uint64_t>(Peek() - '0');
      if (number > kMaxRepeats) {
        at_ = start;
        Fail("repeat count above " + std::to_string(kMaxRepeats));
        return false;
      }
      ++at_;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
  }

  // "(n)" with n at least 1, or "(n,m)" with n <= m.
  bool ReadRepeats(PatternElement& element) {
    ++at_;  // '('
    const std::size_t first = at_;
    if (!ReadNumber(element.minRepeats)) return false;
    element.maxRepeats = element.minRepeats;
    if (!AtEnd() && Peek() == ',') {
      ++at_;
      if (!ReadNumber(element.maxRepeats)) return false;
      if (element.maxRepeats < element.minRepeats) {
        at_ = first;
        Fail("the repeat range is empty");
        return false;
      }
    } else if (element.minRepeats == 0) {
      at_ = first;
      Fail("a repeat count of 0");
      return false;
    }
    if (AtEnd() || Peek() != ')') {
      Fail("')' was expected");
      return false;
    }
    ++at_;
    return true;
  }

  static constexpr std::size_t kNoOffset = static_cast<std::size_t>(-1);

  std::string_view text_;
  std::size_t at_ = 0;
  std::size_t setAnchorOffset_ = kNoOffset;  // of the '>' in a letter set, if any
  PatternSyntaxError error_{0, {}};
};

}  // namespace

std::variant<Pattern, PatternSyntaxError> ParsePattern(std::string_view text) {
  return PatternReader(text).Read();
}

std::vector<PatternForm> PatternForms(const Pattern& pattern) {
  const auto anchorOf = [&](bool atEnd) {
    return static_cast<MotifAnchor>((pattern.startAnchored ? kAnchoredAtStart : 0) |
                                    (atEnd ? kAnchoredAtEnd : 0));
  };
  std::vector<PatternForm> forms;
  if (!pattern.optionalLastElement) {
    forms.push_back({pattern.elements, anchorOf(pattern.endAnchored)});
    return forms;
  }
  // "[...>]": with the last element (unless it allows no letter), then
  // without it at the C-terminus.
  if (pattern.elements.back().mask != 0) {
    forms.push_back({pattern.elements, anchorOf(pattern.endAnchored)});
  }
  forms.push_back({{pattern.elements.begin(), pattern.elements.end() - 1}, anchorOf(true)});
  return forms;
}

}  // namespace brisel
