// SPDX-License-Identifier: MIT
// option_text.cpp: help entries and manual page text.
#include "option_text/option_text.h"

namespace brisel {

std::string HelpEntry(std::string_view label, std::string_view help, std::size_t column) {
  std::string entry = "  " + std::string(label);
  entry += 2 + label.size() < column ? std::string(column - 2 - label.size(), ' ')
                                     : "\n" + std::string(column, ' ');
  for (std::size_t start = 0;;) {
    const std::size_t end = help.find('\n', start);
    entry += help.substr(start, end - start);
    entry += '\n';
    if (end == std::string_view::npos) break;
    entry += std::string(column, ' ');
    start = end + 1;
  }
  return entry;
}

std::string RoffEscaped(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '-') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace brisel
