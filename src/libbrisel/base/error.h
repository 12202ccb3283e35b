// SPDX-License-Identifier: MIT
// error.h: the one way the search library reports a fault.
//
// Every fault of a database, an input or an output is a brisel::Error whose
// message is one line for the user, naming the file and the problem, without
// a program name or a newline; control bytes in quoted text are escaped
// (message_text.h). The programs print it after "brisel-search: " and exit
// with status 1; the Python module raises it. Its kind says what went wrong,
// for callers that sort faults (a missing file, a damaged database).
#ifndef BRISEL_ERROR_H
#define BRISEL_ERROR_H

#include <stdexcept>
#include <string>

namespace brisel {

class Error : public std::runtime_error {
 public:
  enum class Kind {
    kNotFound,   // a database or input file that does not exist
    kCannotMap,  // a block file that cannot be opened or mapped
    kDamaged,    // a database or input that is not what it must be
    kOutput,     // a write of the output failed
    kCancelled,  // the caller asked the search to stop
    kUsage,      // a value that an option does not take
  };
  Error(Kind kind, const std::string& message, int systemError = 0)
      : std::runtime_error(message), kind_(kind), systemError_(systemError) {}
  Kind kind() const { return kind_; }
  // The errno behind the fault, if a system call failed; else 0.
  int systemError() const { return systemError_; }

 private:
  Kind kind_;
  int systemError_;
};

}  // namespace brisel

#endif  // BRISEL_ERROR_H
