// SPDX-License-Identifier: MIT
// input_file.cpp: buffered line reading over a byte source.
#include "input/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "input/input_error.h"
#include "input/stream_error.h"

namespace brisel {

namespace {

constexpr std::size_t kInitialBuffer = 1 << 18;

std::string DisplayName(const std::string& path) {
  return path == "-" ? "standard input" : path;
}

UniqueFd OpenInput(const std::string& path) {
  UniqueFd fd(path == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                          : ::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    const int error = errno;
    throw Placed(
        InputError(DisplayName(path) + ": cannot open: " + std::strerror(error),
                   error == ENOENT ? InputError::Kind::kNotFound : InputError::Kind::kDamaged,
                   error),
        {DisplayName(path)});
  }
  return fd;
}

// The user's message for a failure of the byte source while `line` was read.
InputError Failure(const std::string& name, std::uint64_t line, const StreamError& error) {
  if (error.kind() == StreamError::kReadFailed) {
    return Placed(InputError(name + ": read error: " + error.what()), {name});
  }
  return Placed(InputError(name + ":" + std::to_string(line) + ": " + error.what() +
                           "; reading stopped in this line"),
                {name, line});
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : name_(DisplayName(path)), file_(OpenInput(path)), buffer_(kInitialBuffer) {
  struct stat status {};
  if (::fstat(file_.fd(), &status) == 0 && S_ISREG(status.st_mode)) {
    totalBytes_ = static_cast<std::uint64_t>(status.st_size);
  }
}

bool InputFile::Refill(std::uint64_t line) {
  if (atEnd_) return false;
  // Keep the unread bytes at the front; grow the buffer when they fill it.
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  std::size_t got = 0;
  try {
    if (!source_) source_ = OpenByteSource(file_, compression_);
    got = source_->Read(std::span<char>(buffer_.data() + end_, buffer_.size() - end_));
  } catch (const StreamError& error) {
    throw Failure(name_, line, error);
  }
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += got;
  return true;
}

bool InputFile::NextLine(std::string_view& line) {
  std::size_t searchFrom = begin_;
  for (;;) {
    const void* newline = std::memchr(buffer_.data() + searchFrom, '\n', end_ - searchFrom);
    if (newline != nullptr) {
      const std::size_t at =
          static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.data());
      line = std::string_view(buffer_.data() + begin_, at - begin_);
      begin_ = at + 1;
      ++lineNumber_;
      return true;
    }
    const std::size_t scanned = end_ - begin_;
    if (!Refill(lineNumber_ + 1)) break;
    searchFrom = begin_ + scanned;
  }
  if (begin_ == end_) return false;
  line = std::string_view(buffer_.data() + begin_, end_ - begin_);
  begin_ = end_;
  ++lineNumber_;
  return true;
}

bool InputFile::NextPiece(std::string_view& piece, bool& endsLine) {
  for (;;) {
    const std::size_t unread = std::min(end_ - begin_, kMaxPiece);
    const void* newline = std::memchr(buffer_.data() + begin_, '\n', unread);
    if (newline != nullptr || unread == kMaxPiece || (atEnd_ && unread > 0)) {
      const std::size_t length =
          newline != nullptr
              ? static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.data()) -
                    begin_
              : unread;
      piece = std::string_view(buffer_.data() + begin_, length);
      endsLine = newline != nullptr || (atEnd_ && length == end_ - begin_);
      begin_ += length + (newline != nullptr ? 1 : 0);
      if (!midLine_) ++lineNumber_;
      midLine_ = !endsLine;
      return true;
    }
    if (!Refill(midLine_ ? lineNumber_ : lineNumber_ + 1)) {
      if (begin_ < end_) continue;  // the last line, without a newline
      if (!midLine_) return false;
      piece = std::string_view();  // the end of a last line handed out in pieces
      endsLine = true;
      midLine_ = false;
      return true;
    }
  }
}

}  // namespace brisel
