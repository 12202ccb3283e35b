// database_check.cpp: the consistency check of a mapped database.
#include "database_check.h"

#include <cinttypes>
#include <cstdio>

#include "database_paths.h"
#include "motif_database.h"

namespace {

template <typename... Args>
std::string Describe(std::string_view path, const char* format, Args... args) {
  char what[256];
  std::snprintf(what, sizeof what, format, args...);
  std::string fault(path);
  fault += ": ";
  fault += what;
  return fault;
}

std::optional<std::string> CheckFileLength(std::string_view path, std::uint64_t fileBytes,
                                           std::uint64_t count, std::size_t width) {
  const std::uint64_t needed = count * width;
  if (fileBytes >= needed) return std::nullopt;
  return Describe(path, "file is %" PRIu64 " bytes long, but %" PRIu64 " entries need %" PRIu64,
                  fileBytes, count, needed);
}

// An index block of `entries` entries (at least 1) must start at 0, never
// decrease, and end at `last`, the length of the block it delimits.
std::optional<std::string> CheckIndexBlock(std::string_view path, const std::uint32_t* index,
                                           std::uint64_t entries, std::uint64_t last,
                                           const char* lastName) {
  if (index[0] != 0) return Describe(path, "first entry is %" PRIu32 ", not 0", index[0]);
  for (std::uint64_t i = 1; i < entries; ++i) {
    if (index[i] < index[i - 1]) {
      return Describe(path,
                      "entry %" PRIu64 " (%" PRIu32 ") is below entry %" PRIu64 " (%" PRIu32 ")", i,
                      index[i], i - 1, index[i - 1]);
    }
  }
  if (index[entries - 1] != last) {
    return Describe(path, "last entry is %" PRIu32 ", but %s is %" PRIu64, index[entries - 1],
                    lastName, last);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckMotifDatabase(const motifMappedMemoryCDT& db,
                                              std::string_view rootPath) {
  const auto path = [&](std::size_t b) {
    return DatabaseFilePath(rootPath, kMotifBlocks[b].suffix);
  };
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b) {
    if (auto fault =
            CheckFileLength(path(b), db.blockFileBytes[b], MotifBlockLength(kMotifBlocks[b]),
                            kMotifBlocks[b].elementWidth)) {
      return fault;
    }
  }

  const std::uint64_t motifs = numMotifs;
  if (auto fault =
          CheckIndexBlock(path(4), db.bitIndices, motifs + 1, numMotifBits, "numMotifBits")) {
    return fault;
  }
  if (auto fault =
          CheckIndexBlock(path(8), db.recordIndices, motifs + 1, numMotifChars, "numMotifChars")) {
    return fault;
  }
  for (std::uint64_t m = 0; m < motifs; ++m) {
    const std::uint32_t width = db.bitIndices[m + 1] - db.bitIndices[m];
    if (width == 0) return Describe(path(4), "motif %" PRIu64 " has width 0", m);
    if (db.offsets[m] >= width) {
      return Describe(path(6),
                      "homing position %" PRIu32 " of motif %" PRIu64
                      " is not below its width %" PRIu32,
                      db.offsets[m], m, width);
    }
  }
  return std::nullopt;
}
