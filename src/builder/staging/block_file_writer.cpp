// SPDX-License-Identifier: MIT
// block_file_writer.cpp: buffered appends and positioned writes to a block.
#include "staging/block_file_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "staging/build_error.h"

namespace brisel {

BlockFileWriter::BlockFileWriter(const std::string& path, std::string finalPath,
                                 std::size_t bufferBytes)
    : finalPath_(std::move(finalPath)),
      buffer_(std::make_unique_for_overwrite<char[]>(bufferBytes)),
      capacity_(bufferBytes) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd_ < 0) Fail("cannot open", errno);
}

BlockFileWriter::~BlockFileWriter() {
  if (fd_ >= 0) ::close(fd_);
}

void BlockFileWriter::Fail(const char* action, int error) const {
  throw BuildError(finalPath_ + ": " + action + ": " + std::strerror(error));
}

void BlockFileWriter::WriteOut(const char* data, std::size_t bytes, std::uint64_t offset) {
  while (bytes > 0) {
    const ssize_t done = ::pwrite(fd_, data, bytes, static_cast<off_t>(offset));
    if (done < 0) {
      if (errno == EINTR) continue;
      Fail("cannot write", errno);
    }
    if (done == 0) Fail("cannot write", EIO);
    data += done;
    bytes -= static_cast<std::size_t>(done);
    offset += static_cast<std::uint64_t>(done);
  }
}

void BlockFileWriter::Flush() {
  if (buffered_ == 0) return;
  WriteOut(buffer_.get(), buffered_, written_);
  written_ += buffered_;
  buffered_ = 0;
}

void BlockFileWriter::AppendPastBuffer(const void* data, std::size_t bytes) {
  Flush();
  if (bytes >= capacity_) {
    WriteOut(static_cast<const char*>(data), bytes, written_);
    written_ += bytes;
  } else {
    std::memcpy(buffer_.get(), data, bytes);
    buffered_ = bytes;
  }
}

void BlockFileWriter::ReadAt(std::uint64_t offset, std::span<char> into) {
  Flush();
  char* at = into.data();
  std::size_t left = into.size();
  while (left > 0) {
    const ssize_t got = ::pread(fd_, at, left, static_cast<off_t>(offset));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail("cannot read back", errno);
    }
    if (got == 0) Fail("cannot read back", EIO);
    at += got;
    left -= static_cast<std::size_t>(got);
    offset += static_cast<std::uint64_t>(got);
  }
}

void BlockFileWriter::WriteAt(std::uint64_t offset, const void* data, std::size_t bytes) {
  Flush();
  WriteOut(static_cast<const char*>(data), bytes, offset);
}

void BlockFileWriter::Extend(std::uint64_t newSize) {
  Flush();
  written_ = newSize;
}

void BlockFileWriter::Close() {
  Flush();
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) Fail("cannot write", errno);
}

}  // namespace brisel
