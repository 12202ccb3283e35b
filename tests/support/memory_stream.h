// SPDX-License-Identifier: MIT
// memory_stream.h: a FILE* that writes into memory, for code that writes to
// a stream; the bytes are taken out as a string.
#ifndef BRISEL_TESTS_MEMORY_STREAM_H
#define BRISEL_TESTS_MEMORY_STREAM_H

#include <cstdio>
#include <cstdlib>
#include <string>

namespace brisel {

class MemoryStream {
 public:
  MemoryStream() : file_(open_memstream(&data_, &size_)) {}
  ~MemoryStream() {
    if (file_ != nullptr) std::fclose(file_);
    std::free(data_);
  }
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  std::FILE* file() { return file_; }
  // Everything written so far.
  std::string Take() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  std::size_t size_ = 0;
  std::FILE* file_;
};

}  // namespace brisel

#endif  // BRISEL_TESTS_MEMORY_STREAM_H
