// SPDX-License-Identifier: MIT
// block_files.h: the blocks of a database, described once, and the mapping of
// one block file.
//
// A block file is a bare array of doubles, 32-bit unsigned values or
// characters in host byte order; a database's stats counts give the number of
// elements of each. Each database lists its blocks in a table of
// BlockDescriptions (motif_database.h, sequence_database.h) that gives, per
// block, its file suffix, its element type, the stats count and how its
// element count follows from it, and where the record of views holds it.
// Mapping, release, the consistency check and both builders iterate these
// tables.
//
// MapBlockFile maps read-only the first count x width bytes of a file and
// reports the file's size, so that a file shorter than its count requires is
// refused before any page past its end is touched. A block of no elements
// gets an empty view instead of a zero-byte mapping, which the platform
// refuses; its file must still exist and be a regular file. The descriptor is
// closed at once.
#ifndef BRISEL_DATABASE_BLOCK_FILES_H
#define BRISEL_DATABASE_BLOCK_FILES_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace brisel {

enum class BlockElement { kDoubles, kUnsignedLongs, kChars };

// The most elements a block delimited by an index block may hold: its
// entries are 32-bit.
inline constexpr std::uint64_t kMaxBlockLength = 4294967295u;

constexpr std::size_t ElementWidth(BlockElement element) {
  return element == BlockElement::kDoubles ? 8 : element == BlockElement::kUnsignedLongs ? 4 : 1;
}

// Where a record holds the view of one block: stores and loads it whatever the
// field's pointer type.
template <typename Record>
struct ViewSlot {
  void (*store)(Record& record, const void* view);
  const void* (*load)(const Record& record);
};

template <typename>
struct MemberTraits;
template <typename Class, typename Type>
struct MemberTraits<Type Class::*> {
  using Record = Class;
  using Field = Type;
};

template <auto kField>
inline constexpr ViewSlot<typename MemberTraits<decltype(kField)>::Record> kViewSlot = {
    [](typename MemberTraits<decltype(kField)>::Record& record, const void* view) {
      record.*kField = static_cast<typename MemberTraits<decltype(kField)>::Field>(view);
    },
    [](const typename MemberTraits<decltype(kField)>::Record& record) -> const void* {
      return record.*kField;
    }};

// One block of a database whose record of views is Mapped.
template <typename Mapped>
struct BlockDescription {
  std::string_view suffix;
  BlockElement element;
  std::size_t count;         // which of the three stats counts
  std::uint64_t multiplier;  // 26 for the letter position index, else 1
  std::uint64_t extra;       // 1 for an index block: N + 1 entries delimit N items
  ViewSlot<Mapped> view;

  constexpr std::size_t width() const { return ElementWidth(element); }
  // The number of elements under `counts`, in 64 bits so that nothing wraps.
  std::uint64_t Length(const std::array<std::uint32_t, 3>& counts) const {
    return std::uint64_t{counts[count]} * multiplier + extra;
  }
};

// What a run that cannot map a block file writes to standard error before it
// ends with status 1.
inline constexpr char kMappingFailedText[] = "Fatal Error:  Memory mapping failed!\n ";

// Releases a view with the element count and width it was mapped with; a
// view of no elements is no mapping and is left alone.
void ReleaseBlockView(const void* view, std::uint64_t count, std::size_t width);

// Writes `bytes` as the whole of the file `path`, created or truncated, in one
// write, and closes it. Returns 0, or the errno of the open, write or close
// that failed (EIO when a failed write set none); nothing is written through a
// failed open.
int WriteBlockFile(const std::string& path, std::string_view bytes);

struct MappedBlock {
  const void* view;
  std::uint64_t fileBytes;
};

// Maps the first `count` elements of `path`. Throws brisel::Error (kCannotMap)
// naming the file when it cannot be opened, is not a regular file, or cannot
// be mapped.
MappedBlock MapBlockFile(const std::string& path, std::uint64_t count, BlockElement element);

// Releases the first `mapped` blocks of `blocks` in `db`.
template <typename Mapped, std::size_t N>
void UnmapBlocks(const std::array<BlockDescription<Mapped>, N>& blocks, const Mapped& db,
                 std::size_t mapped = N) {
  for (std::size_t b = 0; b < mapped; ++b)
    ReleaseBlockView(blocks[b].view.load(db), blocks[b].Length(db.counts), blocks[b].width());
}

// Maps every block of `blocks` under `rootPath` into `db` with the counts in
// db.counts, in table order, and records the size of each file. On a fault
// releases what it mapped and throws.
template <typename Mapped, std::size_t N>
void MapBlocks(std::string_view rootPath, const std::array<BlockDescription<Mapped>, N>& blocks,
               Mapped& db) {
  std::size_t mapped = 0;
  try {
    for (; mapped < N; ++mapped) {
      const auto& block = blocks[mapped];
      const MappedBlock file = MapBlockFile(std::string(rootPath) + std::string(block.suffix),
                                            block.Length(db.counts), block.element);
      block.view.store(db, file.view);
      db.blockFileBytes[mapped] = file.fileBytes;
    }
  } catch (...) {
    UnmapBlocks(blocks, db, mapped);
    throw;
  }
}

class Error;

// What a program whose database could not be mapped writes to standard error
// before it ends with status 1: the fatal mapping text for a block file, else
// "<program>: " and the fault on one line.
std::string DatabaseFaultReport(const Error& error, std::string_view program);

}  // namespace brisel

#endif  // BRISEL_DATABASE_BLOCK_FILES_H
