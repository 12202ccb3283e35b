// SPDX-License-Identifier: MIT
// database_output.cpp: staged block and stats files.
#include "database_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "brisel.h"
#include "build_error.h"
#include "database/database_paths.h"

namespace {

[[noreturn]] void FailWriting(const StagedDatabase& database, std::string_view suffix, int error) {
  throw BuildError(database.FinalPath(suffix) + ": cannot write: " + std::strerror(error));
}

}  // namespace

void WriteStagedBlock(StagedDatabase& database, std::string_view suffix, DArray array,
                      BlockElement element) {
  const std::string path = database.Stage(suffix);
  errno = 0;
  bool written = false;
  switch (element) {
    case BlockElement::kChars:
      written = WriteCharsBlockToBinaryFile(array, path.c_str());
      break;
    case BlockElement::kDoubles:
      written = WriteDoublesBlockToBinaryFile(array, path.c_str());
      break;
    case BlockElement::kUnsignedLongs:
      written = WriteUnsignedLongsBlockToBinaryFile(array, path.c_str());
      break;
  }
  if (!written) FailWriting(database, suffix, errno != 0 ? errno : EIO);
}

void WriteStagedText(const std::string& path, const std::string& finalPath, std::string_view text) {
  const auto fail = [&](int error) {
    throw BuildError(finalPath + ": cannot write: " + std::strerror(error != 0 ? error : EIO));
  };
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) fail(errno);
  errno = 0;
  const bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
  const int writeError = errno;
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) fail(writeError != 0 ? writeError : errno);
}

void WriteStagedStats(StagedDatabase& database, std::uint64_t first, std::uint64_t second,
                      std::uint64_t third) {
  const std::string text =
      std::to_string(first) + "\n" + std::to_string(second) + "\n" + std::to_string(third) + "\n";
  WriteStagedText(database.Stage(kStatsSuffix), database.FinalPath(kStatsSuffix), text);
}
