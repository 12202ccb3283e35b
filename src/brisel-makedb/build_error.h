// SPDX-License-Identifier: MIT
// build_error.h: the one way a build fails.
//
// Every failure of brisel-makedb is a BuildError whose message is one line for
// the user, naming the input (with its line, and column where there is one) or
// the output file, and the problem, e.g. "in.fa:12: text before the first '>'
// line". It unwinds to the entry point, which prints it after "brisel-makedb: "
// and exits with status 1; on the way the staged output files remove
// themselves, so a failed build leaves no file behind and changes none.
#ifndef BRISEL_MAKEDB_BUILD_ERROR_H
#define BRISEL_MAKEDB_BUILD_ERROR_H

#include <stdexcept>
#include <string>

class BuildError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

#endif  // BRISEL_MAKEDB_BUILD_ERROR_H
