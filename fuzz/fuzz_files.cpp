// SPDX-License-Identifier: MIT
// fuzz_files.cpp: scratch files and silenced output for the fuzz bodies.
#include "fuzz_files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace brisel {

namespace {

// A plain array, so that it outlives every static destructor and the exit
// handler that removes the directory can still read it.
char scratchDirectory[4096];

const char* ScratchDirectory() {
  if (scratchDirectory[0] == '\0') {
    const std::string pattern =
        (std::filesystem::temp_directory_path() / "brisel-fuzz-XXXXXX").string();
    if (pattern.size() >= sizeof scratchDirectory) std::abort();
    pattern.copy(scratchDirectory, pattern.size());
    if (::mkdtemp(scratchDirectory) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(scratchDirectory, ignored);
    });
  }
  return scratchDirectory;
}

}  // namespace

std::string ScratchPath(std::string_view name) {
  return std::string(ScratchDirectory()) + "/" + std::string(name);
}

std::string WriteScratchFile(std::string_view name, const std::uint8_t* data, std::size_t size) {
  const std::string path = ScratchPath(name);
  std::FILE* out = std::fopen(path.c_str(), "wb");
  if (out == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, out) != size) std::abort();
  if (std::fclose(out) != 0) std::abort();
  return path;
}

SilencedOutput::SilencedOutput() {
  std::fflush(stdout);
  std::fflush(stderr);
  savedOut_ = ::dup(STDOUT_FILENO);
  savedErr_ = ::dup(STDERR_FILENO);
  const int null = ::open("/dev/null", O_WRONLY);
  ::dup2(null, STDOUT_FILENO);
  ::dup2(null, STDERR_FILENO);
  ::close(null);
}

SilencedOutput::~SilencedOutput() {
  std::fflush(stdout);
  std::fflush(stderr);
  ::dup2(savedOut_, STDOUT_FILENO);
  ::dup2(savedErr_, STDERR_FILENO);
  ::close(savedOut_);
  ::close(savedErr_);
}

}  // namespace brisel
