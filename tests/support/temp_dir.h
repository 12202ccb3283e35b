// SPDX-License-Identifier: MIT
// temp_dir.h: a scratch directory for one test, removed with everything in it
// when the object goes out of scope, and small file helpers.
#ifndef BRISEL_TESTS_TEMP_DIR_H
#define BRISEL_TESTS_TEMP_DIR_H

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` inside the directory, as a string.
  std::string operator/(std::string_view name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

void WriteFile(const std::string& path, std::string_view content);
std::string ReadFile(const std::string& path);

// The elements of a block file of 32-bit values or doubles.
std::vector<std::uint32_t> ReadUnsignedBlock(const std::string& path);
std::vector<double> ReadDoublesBlock(const std::string& path);

// The names in a directory, sorted.
std::vector<std::string> ListDirectory(const std::filesystem::path& directory);

}  // namespace brisel

#endif  // BRISEL_TESTS_TEMP_DIR_H
