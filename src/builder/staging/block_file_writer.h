// SPDX-License-Identifier: MIT
// block_file_writer.h: appends to one block file of a database as it is built.
//
// The writer owns the open staged file and a fixed buffer; appends go to the
// buffer and the buffer to the file whenever it is full, so a block of any
// length is written in bounded memory. A block whose content is not appended in
// order (the letter position lists of a sequence too long to hold) is written
// with WriteAt past the end of the appended bytes, then taken in with Extend.
// Every failure throws BuildError naming the final file of the block; the
// staged file itself belongs to StagedFiles, which removes it.
#ifndef BRISEL_MAKEDB_BLOCK_FILE_WRITER_H
#define BRISEL_MAKEDB_BLOCK_FILE_WRITER_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>

namespace brisel {

class BlockFileWriter {
 public:
  // Opens the staged file `path` (empty, just created) for the block whose
  // final path is `finalPath`, with a buffer of `bufferBytes`.
  BlockFileWriter(const std::string& path, std::string finalPath, std::size_t bufferBytes);
  ~BlockFileWriter();
  BlockFileWriter(const BlockFileWriter&) = delete;
  BlockFileWriter& operator=(const BlockFileWriter&) = delete;

  void Append(const void* data, std::size_t bytes) {
    if (bytes == 0) return;  // `data` may be null
    if (bytes <= capacity_ - buffered_) {
      std::memcpy(buffer_.get() + buffered_, data, bytes);
      buffered_ += bytes;
    } else {
      AppendPastBuffer(data, bytes);
    }
  }
  template <typename T>
  void Append(std::span<const T> elements) {
    Append(elements.data(), elements.size_bytes());
  }
  void AppendUnsigned(std::uint32_t value) { Append(&value, sizeof value); }

  // The length of the block so far, buffered bytes included.
  std::uint64_t size() const { return written_ + buffered_; }

  // Writes the buffered bytes to the file.
  void Flush();
  // Reads `into.size()` bytes of the block from `offset` (flushing first).
  void ReadAt(std::uint64_t offset, std::span<char> into);
  // Writes bytes at `offset` >= size() (flushing first); they become part of
  // the block once Extend reaches past them.
  void WriteAt(std::uint64_t offset, const void* data, std::size_t bytes);
  // Makes the block `newSize` long, taking in what WriteAt wrote.
  void Extend(std::uint64_t newSize);
  // Flushes and closes the file; the writer takes no more bytes.
  void Close();

 private:
  void AppendPastBuffer(const void* data, std::size_t bytes);
  void WriteOut(const char* data, std::size_t bytes, std::uint64_t offset);
  [[noreturn]] void Fail(const char* action, int error) const;

  std::string finalPath_;
  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  std::size_t capacity_;
  std::size_t buffered_ = 0;
  std::uint64_t written_ = 0;  // bytes in the file
};

}  // namespace brisel

#endif  // BRISEL_MAKEDB_BLOCK_FILE_WRITER_H
