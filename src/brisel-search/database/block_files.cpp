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

#include "brisel.h"
#include "database/block_files.h"
#include "error.h"
#include "output/message_text.h"

namespace {

// The view of every block of no elements. Never read: every range in such a
// block is empty.
alignas(8) const unsigned char kEmptyView[8] = {};

[[noreturn]] void FailMapping(const std::string& path, const char* what, int error) {
  throw brisel::Error(brisel::Error::Kind::kCannotMap,
                      EscapedText(path) + ": " + what + ": " + std::strerror(error), error);
}

// The specified ending of a run whose block file cannot be mapped.
const void* MapOrExit(const char* mappedFilename, std::uint64_t blockLength, BlockElement element,
                      std::uint64_t* fileBytes) {
  try {
    const MappedBlock block = MapBlockFile(mappedFilename, blockLength, element);
    if (fileBytes != nullptr) *fileBytes = block.fileBytes;
    return block.view;
  } catch (const brisel::Error& error) {
    ExitWithDatabaseFault(error);
  }
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

void ExitWithDatabaseFault(const brisel::Error& error) {
  if (error.kind() == brisel::Error::Kind::kCannotMap) {
    std::fputs(kMappingFailedText, stderr);
  } else {
    std::fprintf(stderr, "brisel-search: %s\n", EscapedText(error.what()).c_str());
  }
  std::exit(1);
}

const double* MapDoublesBlock(const char* mappedFilename, std::uint64_t blockLength,
                              std::uint64_t* fileBytes) {
  return static_cast<const double*>(
      MapOrExit(mappedFilename, blockLength, BlockElement::kDoubles, fileBytes));
}

const std::uint32_t* MapUnsignedLongsBlock(const char* mappedFilename, std::uint64_t blockLength,
                                           std::uint64_t* fileBytes) {
  return static_cast<const std::uint32_t*>(
      MapOrExit(mappedFilename, blockLength, BlockElement::kUnsignedLongs, fileBytes));
}

const char* MapCharsBlock(const char* mappedFilename, std::uint64_t blockLength,
                          std::uint64_t* fileBytes) {
  return static_cast<const char*>(
      MapOrExit(mappedFilename, blockLength, BlockElement::kChars, fileBytes));
}

void UnmapBlock(const void* view, std::uint64_t blockLength, std::size_t elementWidth) {
  if (blockLength == 0 || view == nullptr) return;
  ::munmap(const_cast<void*>(view), blockLength * elementWidth);
}
