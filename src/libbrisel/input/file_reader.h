// SPDX-License-Identifier: MIT
// file_reader.h: the raw bytes of an open file or pipe, with look-ahead.
//
// A FileReader owns a file descriptor and reads it front to back, never
// seeking, so that it serves a pipe as well as a file. Peek shows the first
// bytes without taking them (the compressed formats are recognised by them);
// a decoder takes its input through Available and Consume, and plain input is
// read through Read, which hands out the bytes still held and then reads
// straight into the caller's buffer. consumed() counts the bytes taken from
// the file, for a progress line. A failed read throws StreamError with the
// system's description.
#ifndef BRISEL_INPUT_FILE_READER_H
#define BRISEL_INPUT_FILE_READER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace brisel {

// A file descriptor, closed when it goes.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }

 private:
  int fd_;
};

class FileReader {
 public:
  explicit FileReader(UniqueFd fd);

  // At least `count` bytes from the current position, fewer only at the end
  // of the file; nothing is taken.
  std::span<const unsigned char> Peek(std::size_t count);
  // The bytes held, reading more when none are; empty at the end of the file.
  std::span<const unsigned char> Available();
  // Takes `count` of the bytes that Available or Peek showed.
  void Consume(std::size_t count);
  // Copies up to into.size() bytes into `into` and takes them; 0 only at the
  // end of the file.
  std::size_t Read(std::span<char> into);

  std::uint64_t consumed() const { return consumed_; }
  int fd() const { return fd_.get(); }

 private:
  // Reads once more after the bytes held; false at the end of the file.
  bool Fill();

  UniqueFd fd_;
  std::vector<unsigned char> buffer_;
  std::size_t begin_ = 0;  // the first byte held
  std::size_t end_ = 0;    // the end of the bytes held
  bool atEnd_ = false;
  std::uint64_t consumed_ = 0;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_FILE_READER_H
