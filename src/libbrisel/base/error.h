// SPDX-License-Identifier: MIT
// error.h: the one way the search library reports a fault.
//
// Every fault of a database, an input or an output is a brisel::Error whose
// message is one line for the user, naming the file and the problem, without
// a program name or a newline; control bytes in quoted text are escaped
// (message_text.h). The programs print it after "brisel-search: " and exit
// with status 1; the Python module raises it. Its kind says what went wrong,
// for callers that sort faults (a missing file, a damaged database), and its
// place, where the thrower knows it, what the message names: the file or
// database root, the line (from 1) and the record, as they are (unescaped),
// for callers that take them apart (the Python module's exception
// attributes). The place adds nothing to the message.
#ifndef BRISEL_ERROR_H
#define BRISEL_ERROR_H

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

namespace brisel {

// Where a fault lies; empty fields (line 0) are unknown.
struct ErrorPlace {
  ErrorPlace() = default;
  ErrorPlace(std::string path, std::uint64_t line = 0, std::string record = {})
      : path(std::move(path)), line(line), record(std::move(record)) {}

  std::string path;  // an input file, an input's name ("<patterns>") or a database root
  std::uint64_t line = 0;
  std::string record;  // the record's name, or the pattern
};

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
  Error(Kind kind, const std::string& message, int systemError = 0, ErrorPlace place = {})
      : std::runtime_error(message),
        kind_(kind),
        systemError_(systemError),
        place_(std::move(place)) {}
  Kind kind() const { return kind_; }
  // The errno behind the fault, if a system call failed; else 0.
  int systemError() const { return systemError_; }
  const ErrorPlace& place() const { return place_; }
  // The place a caller knows better than the thrower: fills the fields the
  // error has not set.
  void FillPlace(const ErrorPlace& place) {
    if (place_.path.empty()) place_.path = place.path;
    if (place_.line == 0) place_.line = place.line;
    if (place_.record.empty()) place_.record = place.record;
  }

 private:
  Kind kind_;
  int systemError_;
  ErrorPlace place_;
};

// `error` with the fields of `place` that it has not set filled in.
template <typename E>
E Placed(E error, const ErrorPlace& place) {
  error.FillPlace(place);
  return error;
}

}  // namespace brisel

#endif  // BRISEL_ERROR_H
