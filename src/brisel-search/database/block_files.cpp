// SPDX-License-Identifier: MIT
// block_files.cpp: maps block files read-only into memory and releases them.
//
// A view is a shared, read-only mapping of the first count x width bytes of a
// file; the descriptor is closed at once and the mapping stays until it is
// released with the same count and width. A block of no elements gets an empty
// view instead of a zero-byte mapping, which the platform refuses; its file must
// still exist. The file's size is reported so that callers can refuse a file
// shorter than its count requires before any page past its end is touched.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "brisel.h"

namespace {

// The view of every block of no elements. Never read: every range in such a
// block is empty.
alignas(8) const unsigned char kEmptyView[8] = {};

[[noreturn]] void FailMapping() {
  std::fputs("Fatal Error:  Memory mapping failed!\n ", stderr);
  std::exit(1);
}

const void* MapBlock(const char* mappedFilename, std::uint64_t blockLength, std::size_t width,
                     std::uint64_t* fileBytes) {
  // O_NONBLOCK keeps a FIFO in the database directory from stalling the run; it
  // is refused below like any file that is not a regular file.
  const int fd = ::open(mappedFilename, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) FailMapping();
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    FailMapping();
  }
  if (fileBytes != nullptr) *fileBytes = static_cast<std::uint64_t>(status.st_size);

  const void* view = kEmptyView;
  if (blockLength > 0) {
    void* mapped = ::mmap(nullptr, blockLength * width, PROT_READ, MAP_SHARED, fd, 0);
    if (mapped == MAP_FAILED) {
      ::close(fd);
      FailMapping();
    }
    view = mapped;
  }
  ::close(fd);
  return view;
}

}  // namespace

const double* MapDoublesBlock(const char* mappedFilename, std::uint64_t blockLength,
                              std::uint64_t* fileBytes) {
  return static_cast<const double*>(
      MapBlock(mappedFilename, blockLength, sizeof(double), fileBytes));
}

const std::uint32_t* MapUnsignedLongsBlock(const char* mappedFilename, std::uint64_t blockLength,
                                           std::uint64_t* fileBytes) {
  return static_cast<const std::uint32_t*>(
      MapBlock(mappedFilename, blockLength, sizeof(std::uint32_t), fileBytes));
}

const char* MapCharsBlock(const char* mappedFilename, std::uint64_t blockLength,
                          std::uint64_t* fileBytes) {
  return static_cast<const char*>(MapBlock(mappedFilename, blockLength, 1, fileBytes));
}

void UnmapBlock(const void* view, std::uint64_t blockLength, std::size_t elementWidth) {
  if (blockLength == 0 || view == nullptr) return;
  ::munmap(const_cast<void*>(view), blockLength * elementWidth);
}
