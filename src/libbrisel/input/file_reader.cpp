// SPDX-License-Identifier: MIT
// file_reader.cpp: reading a descriptor front to back.
#include "input/file_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "input/stream_error.h"

namespace brisel {

namespace {

constexpr std::size_t kBufferSize = std::size_t{1} << 18;

// One read(2), repeated when a signal interrupts it. Throws StreamError.
std::size_t ReadSome(int fd, void* into, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd, into, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw StreamError(StreamError::kReadFailed, std::strerror(errno));
  }
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileReader::FileReader(UniqueFd fd) : fd_(std::move(fd)), buffer_(kBufferSize) {}

bool FileReader::Fill() {
  if (atEnd_) return false;
  if (begin_ == end_) {
    begin_ = end_ = 0;
  } else if (end_ == buffer_.size()) {
    if (begin_ == 0) return true;  // full: nothing more fits
    std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
    end_ -= begin_;
    begin_ = 0;
  }
  const std::size_t got = ReadSome(fd_.get(), buffer_.data() + end_, buffer_.size() - end_);
  if (got == 0) {
    atEnd_ = true;
    return false;
  }
  end_ += got;
  return true;
}

std::span<const unsigned char> FileReader::Peek(std::size_t count) {
  while (end_ - begin_ < count && Fill()) {
  }
  return {buffer_.data() + begin_, end_ - begin_};
}

std::span<const unsigned char> FileReader::Available() {
  if (begin_ == end_) Fill();
  return {buffer_.data() + begin_, end_ - begin_};
}

void FileReader::Consume(std::size_t count) {
  begin_ += count;
  consumed_ += count;
}

std::size_t FileReader::Read(std::span<char> into) {
  if (into.empty()) return 0;
  std::size_t got = 0;
  if (begin_ < end_) {
    got = std::min(into.size(), end_ - begin_);
    std::memcpy(into.data(), buffer_.data() + begin_, got);
  } else if (!atEnd_) {
    got = ReadSome(fd_.get(), into.data(), into.size());
    atEnd_ = got == 0;
    consumed_ += got;
    return got;
  }
  Consume(got);
  return got;
}

}  // namespace brisel
