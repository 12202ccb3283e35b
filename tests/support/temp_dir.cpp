// SPDX-License-Identifier: MIT
// temp_dir.cpp: scratch directories and file helpers for the tests.
#include "temp_dir.h"

#include <stdlib.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace brisel {

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "brisel-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, std::string_view content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

namespace {

template <typename T>
std::vector<T> ReadBlock(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::vector<T> elements(bytes.size() / sizeof(T));
  std::memcpy(elements.data(), bytes.data(), elements.size() * sizeof(T));
  return elements;
}

}  // namespace

std::vector<std::uint32_t> ReadUnsignedBlock(const std::string& path) {
  return ReadBlock<std::uint32_t>(path);
}

std::vector<double> ReadDoublesBlock(const std::string& path) {
  return ReadBlock<double>(path);
}

std::vector<std::string> ListDirectory(const std::filesystem::path& directory) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(directory)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace brisel
