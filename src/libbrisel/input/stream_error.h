// SPDX-License-Identifier: MIT
// stream_error.h: why the bytes of an input stopped.
//
// The byte sources throw a StreamError with what went wrong and no more: they
// know neither the input's name nor the line reached. InputFile, which knows
// both, turns it into the InputError that the user reads.
#ifndef BRISEL_INPUT_STREAM_ERROR_H
#define BRISEL_INPUT_STREAM_ERROR_H

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace brisel {

class StreamError : public std::runtime_error {
 public:
  enum Kind {
    kReadFailed,    // the system refused a read; the text is its description
    kDecodeFailed,  // the compressed data ends early or cannot be decoded; the
                    // text says so, e.g. "the gzip data is cut short"
  };

  StreamError(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}

  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

// "the gzip data is cut short": the input ends inside a stream of `format`.
inline StreamError CutShortError(std::string_view format) {
  return StreamError(StreamError::kDecodeFailed,
                     "the " + std::string(format) + " data is cut short");
}

// "corrupt gzip data (invalid block type)", with the library's reason.
inline StreamError CorruptError(std::string_view format, std::string_view reason) {
  return StreamError(StreamError::kDecodeFailed,
                     "corrupt " + std::string(format) + " data (" + std::string(reason) + ")");
}

// A decoder's failure, held back while the bytes decoded before it are handed
// out, so that a reader gets every line before the damage and the report names
// the line where reading stopped.
class HeldFailure {
 public:
  // Throws the failure held, if any.
  void ThrowIfHeld() const {
    if (error_) throw *error_;
  }
  // Throws `error` at once when nothing was decoded, else holds it for the
  // next call and returns `decoded`.
  std::size_t Hold(const StreamError& error, std::size_t decoded) {
    if (decoded == 0) throw error;
    error_ = error;
    return decoded;
  }

 private:
  std::optional<StreamError> error_;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_STREAM_ERROR_H
