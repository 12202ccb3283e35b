// SPDX-License-Identifier: MIT
// input_error.h: the one way reading an input fails.
//
// Every failure of an input (a FASTA or PROSITE file, plain or compressed, or
// standard input) is an InputError whose message is one line for the user,
// naming the input, with the line where reading stopped where there is one,
// and the problem: "in.fa.gz:2002: the gzip data is cut short; reading stopped
// in this line". Both programs print it after their name; the builder lets it
// unwind its build, the direct search reports it after the records read
// before it have been searched.
//
// The message quotes the user's text (paths, names) as it is; the error stores
// it with its control bytes escaped (message_text.h), so that it stays one
// line and a NUL in a name cannot cut it short.
#ifndef BRISEL_INPUT_INPUT_ERROR_H
#define BRISEL_INPUT_INPUT_ERROR_H

#include <string_view>

#include "base/error.h"
#include "base/message_text.h"

namespace brisel {

class InputError : public brisel::Error {
 public:
  explicit InputError(std::string_view message, Kind kind = Kind::kDamaged, int systemError = 0)
      : brisel::Error(kind, EscapedText(message), systemError) {}
};

}  // namespace brisel

#endif  // BRISEL_INPUT_INPUT_ERROR_H
