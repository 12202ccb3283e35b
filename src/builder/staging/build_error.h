// SPDX-License-Identifier: MIT
// build_error.h: the one way a build fails.
//
// Every failure of brisel-makedb is a BuildError whose message is one line for
// the user, naming the input (with its line, and column where there is one) or
// the output file, and the problem, e.g. "in.fa:3: sequence 'b' has 7
// residues, more than the --shard-size of 6"; a failure to read the input is
// an InputError (input/input_error.h), the same kind of message. Either
// unwinds to the entry point, which prints it after "brisel-makedb: " and
// exits with status 1; on the way the staged output files remove themselves,
// so a failed build leaves no file behind and changes none.
//
// The message quotes the user's text (paths, records, patterns, names) as it
// is; the error stores it with its control bytes escaped (message_text.h), so
// that it stays one line and a NUL in a record cannot cut it short.
#ifndef BRISEL_MAKEDB_BUILD_ERROR_H
#define BRISEL_MAKEDB_BUILD_ERROR_H

#include <string_view>

#include "base/error.h"
#include "base/message_text.h"

namespace brisel {

// A fault of the input (or a missing input, kNotFound) or of the output
// files, as the library reports it.
class BuildError : public brisel::Error {
 public:
  explicit BuildError(std::string_view message, Kind kind = Kind::kDamaged, int systemError = 0)
      : brisel::Error(kind, EscapedText(message), systemError) {}
};

}  // namespace brisel

#endif  // BRISEL_MAKEDB_BUILD_ERROR_H
