// SPDX-License-Identifier: MIT
// option_text.h: how the programs lay out the texts of their option tables,
// in --help and in the manual pages.
#ifndef BRISEL_PROGRAMS_OPTION_TEXT_H
#define BRISEL_PROGRAMS_OPTION_TEXT_H

#include <cstddef>
#include <string>
#include <string_view>

namespace brisel {

// One entry of --help: "  " and `label`, padded to `column`, or on a line of
// its own when it leaves no room before it; then `help`, whose lines ('\n'
// between them) each start at `column`; then a newline.
std::string HelpEntry(std::string_view label, std::string_view help, std::size_t column);

// `text` with each hyphen as a manual page writes it ("\-").
std::string RoffEscaped(std::string_view text);

}  // namespace brisel

#endif  // BRISEL_PROGRAMS_OPTION_TEXT_H
