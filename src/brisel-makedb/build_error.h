// SPDX-License-Identifier: MIT
// build_error.h: the one way a build fails.
//
// Every failure of brisel-makedb is a BuildError whose message is one line for
// the user, naming the input (with its line, and column where there is one) or
// the output file, and the problem, e.g. "in.fa:12: text before the first '>'
// line". It unwinds to the entry point, which prints it after "brisel-makedb: "
// and exits with status 1; on the way the staged output files remove
// themselves, so a failed build leaves no file behind and changes none.
//
// The message quotes the user's text (paths, records, patterns, names) as it
// is; the error stores it with its control bytes escaped (message_text.h), so
// that it stays one line and a NUL in a record cannot cut it short.
#ifndef BRISEL_MAKEDB_BUILD_ERROR_H
#define BRISEL_MAKEDB_BUILD_ERROR_H

#include <stdexcept>
#include <string_view>

#include "output/message_text.h"

class BuildError : public std::runtime_error {
 public:
  explicit BuildError(std::string_view message) : std::runtime_error(EscapedText(message)) {}
};

#endif  // BRISEL_MAKEDB_BUILD_ERROR_H
