// SPDX-License-Identifier: MIT
// line_reader.cpp: non-empty lines of a file, their text up to a NUL.
#include "input/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "input/stream_error.h"

namespace brisel {

UniqueFd TextLines::Open(const char* path) {
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  // A directory opens for reading but cannot be read.
  struct stat status {};
  if (fd.get() >= 0 && ::fstat(fd.get(), &status) == 0 && S_ISDIR(status.st_mode)) {
    fd = UniqueFd();
    errno = EISDIR;
  }
  return fd;
}

bool TextLines::Next(std::string& line) {
  line.clear();
  if (error_) return false;
  bool started = false;    // the line holds at least one byte
  bool textEnded = false;  // a NUL byte has ended the line's text
  try {
    for (;;) {
      const std::span<const unsigned char> bytes = reader_.Available();
      if (bytes.empty()) return started;
      const auto* begin = bytes.data();
      const auto* newline =
          static_cast<const unsigned char*>(std::memchr(begin, '\n', bytes.size()));
      const std::size_t length = newline == nullptr ? bytes.size() : newline - begin;
      if (!textEnded) {
        const auto* nul = static_cast<const unsigned char*>(std::memchr(begin, '\0', length));
        const std::size_t text = nul == nullptr ? length : nul - begin;
        line.append(reinterpret_cast<const char*>(begin), text);
        textEnded = nul != nullptr;
      }
      started = started || length > 0;
      reader_.Consume(newline == nullptr ? length : length + 1);
      if (newline != nullptr && started) return true;
    }
  } catch (const StreamError& error) {
    error_ = error.what();
    return started;
  }
}

}  // namespace brisel
