// SPDX-License-Identifier: MIT
// database_output.cpp: staged block and stats files.
#include "database_output.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "brisel.h"
#include "build_error.h"

namespace {

[[noreturn]] void FailWriting(const StagedDatabase& database, std::string_view suffix, int error) {
  throw BuildError(database.FinalPath(suffix) + ": cannot write: " + std::strerror(error));
}

}  // namespace

void WriteStagedBlock(StagedDatabase& database, std::string_view suffix, DArray array,
                      BlockKind kind) {
  const std::string path = database.Stage(suffix);
  errno = 0;
  bool written = false;
  switch (kind) {
    case BlockKind::kChars:
      written = WriteCharsBlockToBinaryFile(array, path.c_str());
      break;
    case BlockKind::kDoubles:
      written = WriteDoublesBlockToBinaryFile(array, path.c_str());
      break;
    case BlockKind::kUnsignedLongs:
      written = WriteUnsignedLongsBlockToBinaryFile(array, path.c_str());
      break;
  }
  if (!written) FailWriting(database, suffix, errno != 0 ? errno : EIO);
}

void WriteStagedStats(StagedDatabase& database, std::uint64_t first, std::uint64_t second,
                      std::uint64_t third) {
  constexpr std::string_view kSuffix = "-stats";
  const std::string path = database.Stage(kSuffix);
  std::FILE* out = std::fopen(path.c_str(), "w");
  if (out == nullptr) FailWriting(database, kSuffix, errno);
  errno = 0;
  const bool written =
      std::fprintf(out, "%llu\n%llu\n%llu\n", static_cast<unsigned long long>(first),
                   static_cast<unsigned long long>(second),
                   static_cast<unsigned long long>(third)) > 0;
  const int writeError = errno;
  const bool closed = std::fclose(out) == 0;
  if (!written || !closed) FailWriting(database, kSuffix, writeError != 0 ? writeError : errno);
}
