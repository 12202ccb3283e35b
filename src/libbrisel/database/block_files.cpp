// SPDX-License-Identifier: MIT
// block_files.cpp: maps block files read-only into memory and releases them.
//
// A view is a shared, read-only mapping of the first count x width bytes of a
// file; the mapping stays until it is released with the same count and width.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/error.h"
#include "base/message_text.h"
#include "database/block_files.h"

namespace brisel {

namespace {

// The view of every block of no elements. Never read: every range in such a
// block is empty.
alignas(8) const unsigned char kEmptyView[8] = {};

[[noreturn]] void FailMapping(const std::string& path, const char* what, int error) {
  throw brisel::Error(brisel::Error::Kind::kCannotMap,
                      EscapedText(path) + ": " + what + ": " + std::strerror(error), error);
}

}  // namespace

MappedBlock MapBlockFile(const std::string& path, std::uint64_t count, BlockElement element) {
  // O_NONBLOCK keeps a FIFO in the database directory from stalling the run; it
  // is refused below like any file that is not a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) FailMapping(path, "cannot open", errno);
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    const int error = S_ISDIR(status.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    FailMapping(path, "not a regular file", error);
  }
  MappedBlock block{kEmptyView, static_cast<std::uint64_t>(status.st_size)};
  if (count > 0) {
    void* mapped = ::mmap(nullptr, count * ElementWidth(element), PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
      const int error = errno;
      ::close(fd);
      FailMapping(path, "cannot map", error);
    }
    block.view = mapped;
  }
  ::close(fd);
  return block;
}

std::string DatabaseFaultReport(const brisel::Error& error, std::string_view program) {
  if (error.kind() == brisel::Error::Kind::kCannotMap) return kMappingFailedText;
  return std::string(program) + ": " + EscapedText(error.what()) + "\n";
}

void ReleaseBlockView(const void* view, std::uint64_t count, std::size_t width) {
  if (count == 0 || view == nullptr) return;
  ::munmap(const_cast<void*>(view), count * width);
}

int WriteBlockFile(const std::string& path, std::string_view bytes) {
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) return errno != 0 ? errno : EIO;
  errno = 0;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  const int writeError = errno;
  const bool closed = std::fclose(out) == 0;
  if (written && closed) return 0;
  const int error = writeError != 0 ? writeError : errno;
  return error != 0 ? error : EIO;
}

}  // namespace brisel
