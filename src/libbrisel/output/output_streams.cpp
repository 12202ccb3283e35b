// SPDX-License-Identifier: MIT
// output_streams.cpp: writes to C streams, with the first failure's errno.
#include "output/output_streams.h"

#include <cerrno>

namespace brisel {

bool FileStream::Write(std::string_view bytes) {
  if (failed()) return false;
  errno = 0;
  // Nothing to write may come as a null pointer (an empty view), which fwrite
  // must not be given.
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream_);
  if (std::ferror(stream_) == 0) return true;
  Fail(errno != 0 ? errno : EIO);
  return false;
}

bool FileStream::Flush() {
  errno = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_) != 0) Fail(errno != 0 ? errno : EIO);
  return !failed();
}

}  // namespace brisel
