// SPDX-License-Identifier: MIT
// database_check.cpp: the consistency check of a mapped database.
#include "database/database_check.h"

#include <cinttypes>
#include <cstdio>

#include "database/database_paths.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"

namespace brisel {

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

// An index block of `entries` entries (at least 1) must start at 0 and never
// decrease. Its last entry must equal `last`, the length of the block it
// delimits, or with `upTo` may be anything up to it.
enum class LastEntry { kEquals, kUpTo };

std::optional<std::string> CheckIndexBlock(std::string_view path, const std::uint32_t* index,
                                           std::uint64_t entries, std::uint64_t last,
                                           const char* lastName,
                                           LastEntry rule = LastEntry::kEquals) {
  if (index[0] != 0) return Describe(path, "first entry is %" PRIu32 ", not 0", index[0]);
  for (std::uint64_t i = 1; i < entries; ++i) {
    if (index[i] < index[i - 1]) {
      return Describe(path,
                      "entry %" PRIu64 " (%" PRIu32 ") is below entry %" PRIu64 " (%" PRIu32 ")", i,
                      index[i], i - 1, index[i - 1]);
    }
  }
  const std::uint32_t final = index[entries - 1];
  if (rule == LastEntry::kEquals && final != last) {
    return Describe(path, "last entry is %" PRIu32 ", but %s is %" PRIu64, final, lastName, last);
  }
  if (rule == LastEntry::kUpTo && final > last) {
    return Describe(path, "last entry is %" PRIu32 ", above %s %" PRIu64, final, lastName, last);
  }
  return std::nullopt;
}

// The optional anchors block: exactly one byte per motif (a longer file is
// refused too, as it most likely belongs to another database), each a
// MotifAnchor.
std::optional<std::string> CheckAnchors(const MotifViews& db, std::string_view rootPath) {
  if (db.anchors == nullptr) return std::nullopt;
  const std::string path = DatabaseFilePath(rootPath, kAnchorsSuffix);
  const std::uint64_t motifs = MotifCountOf(db);
  if (db.anchorsFileBytes != motifs) {
    return Describe(path, "file is %" PRIu64 " bytes long, but numMotifs is %" PRIu64,
                    db.anchorsFileBytes, motifs);
  }
  for (std::uint64_t m = 0; m < motifs; ++m) {
    if (db.anchors[m] > kAnchoredAtBothEnds) {
      return Describe(path, "anchor %u of motif %" PRIu64 " is not 0, 1, 2 or 3",
                      static_cast<unsigned>(db.anchors[m]), m);
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> CheckMotifDatabase(const MotifViews& db, std::string_view rootPath) {
  const auto path = [&](std::size_t b) {
    return DatabaseFilePath(rootPath, kMotifBlocks[b].suffix);
  };
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b) {
    if (auto fault = CheckFileLength(path(b), db.blockFileBytes[b],
                                     kMotifBlocks[b].Length(db.counts), kMotifBlocks[b].width())) {
      return fault;
    }
  }

  const std::uint64_t motifs = MotifCountOf(db);
  if (auto fault = CheckIndexBlock(path(kBitIndicesBlock), db.bitIndices, motifs + 1,
                                   db.counts[kMotifBitsCount], "numMotifBits")) {
    return fault;
  }
  if (auto fault = CheckIndexBlock(path(kRecordIndicesBlock), db.recordIndices, motifs + 1,
                                   db.counts[kMotifCharsCount], "numMotifChars")) {
    return fault;
  }
  for (std::uint64_t m = 0; m < motifs; ++m) {
    const std::uint32_t width = db.bitIndices[m + 1] - db.bitIndices[m];
    if (width == 0) return Describe(path(kBitIndicesBlock), "motif %" PRIu64 " has width 0", m);
    if (db.offsets[m] >= width) {
      return Describe(path(kMotifOffsetsBlock),
                      "homing position %" PRIu32 " of motif %" PRIu64
                      " is not below its width %" PRIu32,
                      db.offsets[m], m, width);
    }
  }
  return CheckAnchors(db, rootPath);
}

std::optional<std::string> CheckSequenceDatabase(const SequenceViews& db,
                                                 std::string_view rootPath) {
  if (SequenceCountOf(db) > kMaxSequences) {
    return Describe(DatabaseFilePath(rootPath, kStatsSuffix),
                    "numSequences is %" PRIu32 ", above the limit of %" PRIu32, SequenceCountOf(db),
                    kMaxSequences);
  }
  const auto path = [&](std::size_t b) {
    return DatabaseFilePath(rootPath, kSequenceBlocks[b].suffix);
  };
  // `offsets` is mapped with an upper bound of its length; its file is checked
  // below against the number of entries that offsetIndices says it holds.
  for (std::size_t b = 0; b < kSequenceBlocks.size(); ++b) {
    if (b == kOffsetsBlock) continue;
    if (auto fault =
            CheckFileLength(path(b), db.blockFileBytes[b], kSequenceBlocks[b].Length(db.counts),
                            kSequenceBlocks[b].width())) {
      return fault;
    }
  }

  const std::uint64_t sequences = SequenceCountOf(db);
  const std::uint64_t residues = db.counts[kSequenceBitsCount];
  if (auto fault = CheckIndexBlock(path(kNameIndicesBlock), db.nameIndices, sequences + 1,
                                   db.counts[kNameCharsCount], "numSequenceNameChars")) {
    return fault;
  }
  if (auto fault = CheckIndexBlock(path(kSequenceIndicesBlock), db.sequenceIndices, sequences + 1,
                                   residues, "numSequenceBits")) {
    return fault;
  }
  const std::uint64_t slots = kSequenceBlocks[kOffsetIndicesBlock].Length(db.counts);
  if (auto fault = CheckIndexBlock(path(kOffsetIndicesBlock), db.offsetIndices, slots, residues,
                                   "numSequenceBits", LastEntry::kUpTo)) {
    return fault;
  }
  return CheckFileLength(path(kOffsetsBlock), db.blockFileBytes[kOffsetsBlock],
                         db.offsetIndices[slots - 1], kSequenceBlocks[kOffsetsBlock].width());
}

}  // namespace brisel
