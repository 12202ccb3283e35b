// SPDX-License-Identifier: MIT
// stream_writes.cpp: checked writes and the first failure's errno.
#include "output/stream_writes.h"

#include <atomic>
#include <cerrno>

namespace {

std::atomic<int> firstWriteError{0};

}  // namespace

bool WriteToStream(std::FILE* stream, const char* data, std::size_t size) {
  errno = 0;
  // Nothing to write may come as a null pointer (an empty view), which fwrite
  // must not be given.
  if (size != 0) std::fwrite(data, 1, size, stream);
  if (std::ferror(stream) == 0) return true;
  int expected = 0;
  firstWriteError.compare_exchange_strong(expected, errno != 0 ? errno : EIO);
  return false;
}

int FirstWriteError() {
  return firstWriteError.load();
}
