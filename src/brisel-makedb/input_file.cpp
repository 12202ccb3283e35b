// SPDX-License-Identifier: MIT
// input_file.cpp: buffered line reading through zlib.
#include "input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "build_error.h"

namespace {

constexpr std::size_t kInitialBuffer = 1 << 18;
constexpr unsigned kZlibBuffer = 1 << 18;

// Whether the file begins with the gzip magic bytes 1f 8b. Reads nothing from a
// pipe.
bool HasGzipMagic(int fd) {
  unsigned char magic[2];
  return ::pread(fd, magic, 2, 0) == 2 && magic[0] == 0x1f && magic[1] == 0x8b;
}

// zlib's message, without the "<fd:N>: " that it puts in front of messages for
// a file opened by descriptor.
std::string ZlibMessage(gzFile file, int& code) {
  std::string message = ::gzerror(file, &code);
  if (message.starts_with("<fd:")) {
    const std::size_t colon = message.find(": ");
    if (colon != std::string::npos) message.erase(0, colon + 2);
  }
  return message;
}

}  // namespace

InputFile::InputFile(const std::string& path)
    : name_(path == "-" ? "standard input" : path), buffer_(kInitialBuffer) {
  const int fd = path == "-" ? ::dup(STDIN_FILENO) : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    throw BuildError(name_ + ": cannot open: " + std::strerror(error),
                     error == ENOENT ? BuildError::Kind::kNotFound : BuildError::Kind::kDamaged,
                     error);
  }
  struct stat status {};
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    totalBytes_ = static_cast<std::uint64_t>(status.st_size);
    if (!HasGzipMagic(fd)) plainSize_ = totalBytes_;
  }
  file_ = ::gzdopen(fd, "rb");
  if (file_ == nullptr) {
    ::close(fd);
    throw BuildError(name_ + ": cannot open: out of memory");
  }
  ::gzbuffer(file_, kZlibBuffer);
}

InputFile::~InputFile() {
  if (file_ != nullptr) ::gzclose(file_);
}

std::uint64_t InputFile::bytesRead() const {
  const auto offset = ::gzoffset(file_);
  return offset < 0 ? 0 : static_cast<std::uint64_t>(offset);
}

bool InputFile::Refill() {
  if (atEnd_) return false;
  // Keep the unread bytes at the front; grow the buffer when they fill it.
  if (begin_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  const std::size_t room = buffer_.size() - end_;
  const int got = ::gzread(file_, buffer_.data() + end_,
                           static_cast<unsigned>(room < (1u << 30) ? room : (1u << 30)));
  if (got < 0) {
    const int readError = errno;
    int code = 0;
    const std::string message = ZlibMessage(file_, code);
    throw BuildError(name_ + ": read error: " +
                     (code == Z_ERRNO ? std::string(std::strerror(readError)) : message));
  }
  if (got == 0) {
    int code = 0;
    const std::string message = ZlibMessage(file_, code);
    if (code != Z_OK) throw BuildError(name_ + ": read error: " + message);
    atEnd_ = true;
    return false;
  }
  end_ += static_cast<std::size_t>(got);
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
    if (!Refill()) break;
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
    if (!Refill()) {
      if (begin_ < end_) continue;  // the last line, without a newline
      if (!midLine_) return false;
      piece = std::string_view();  // the end of a last line handed out in pieces
      endsLine = true;
      midLine_ = false;
      return true;
    }
  }
}
