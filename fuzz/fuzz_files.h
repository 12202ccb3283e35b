// SPDX-License-Identifier: MIT
// fuzz_files.h: scratch files for the fuzz bodies, in one directory per
// process that is removed at exit.
#ifndef BRISEL_FUZZ_FILES_H
#define BRISEL_FUZZ_FILES_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brisel {

// The path of `name` in this process's scratch directory.
std::string ScratchPath(std::string_view name);

// Writes `size` bytes to the scratch file `name` and returns its path.
std::string WriteScratchFile(std::string_view name, const std::uint8_t* data, std::size_t size);

// Sends standard output and standard error to /dev/null while it lives.
class SilencedOutput {
 public:
  SilencedOutput();
  ~SilencedOutput();
  SilencedOutput(const SilencedOutput&) = delete;
  SilencedOutput& operator=(const SilencedOutput&) = delete;

 private:
  int savedOut_;
  int savedErr_;
};

}  // namespace brisel

#endif  // BRISEL_FUZZ_FILES_H
