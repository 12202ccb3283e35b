// SPDX-License-Identifier: MIT
// motif_database.h: maps and releases a motif database.
//
// A motif database is a stats file (numMotifs, numMotifBits, numMotifChars) and
// nine block files under one root path; kMotifBlocks lists them in mapping order
// with their suffixes, element widths and counts. The three counts are
// process-wide: 0 until the database is mapped, set once from its stats file,
// and read by the searches and by the release.
//
// Motif m has the positions bitMotifs[bitIndices[m]] up to, not including,
// bitMotifs[bitIndices[m+1]], its record records[recordIndices[m]] up to
// records[recordIndices[m+1]], its specificity, log specificity, length
// correction, homing letter mask and homing position (offsets[m]).
//
// A tenth block is optional: "-anchors.bin", one MotifAnchor byte per motif
// (brisel.h). It is mapped when its file exists; without it every motif is
// unanchored. An anchored motif has at most one placement in a sequence of
// length L: start 0 (at the start), L - w (at the end), or 0 when w = L (at
// both ends).
#ifndef BRISEL_MOTIF_DATABASE_H
#define BRISEL_MOTIF_DATABASE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "brisel.h"

extern std::uint32_t numMotifs;
extern std::uint32_t numMotifBits;
extern std::uint32_t numMotifChars;

// Which count, plus how many, gives the number of elements of a block.
enum class MotifCount { kMotifs, kMotifBits, kMotifChars };

struct MotifBlock {
  std::string_view suffix;
  std::size_t elementWidth;
  MotifCount count;
  std::uint64_t extra;  // 1 for an index block: N + 1 entries delimit N items
};

inline constexpr std::array<MotifBlock, 9> kMotifBlocks = {{
    {"-logSpecificities.bin", 8, MotifCount::kMotifs, 0},
    {"-specificities.bin", 8, MotifCount::kMotifs, 0},
    {"-lengthCorrections.bin", 8, MotifCount::kMotifs, 0},
    {"-bitMotifs.bin", 4, MotifCount::kMotifBits, 0},
    {"-bitIndices.bin", 4, MotifCount::kMotifs, 1},
    {"-homingBitLetters.bin", 4, MotifCount::kMotifs, 0},
    {"-offsets.bin", 4, MotifCount::kMotifs, 0},
    {"-records.bin", 1, MotifCount::kMotifChars, 0},
    {"-recordIndices.bin", 4, MotifCount::kMotifs, 1},
}};

// The optional anchors block: one byte per motif.
inline constexpr std::string_view kAnchorsSuffix = "-anchors.bin";

// The number of elements of a block under the current counts, in 64 bits so
// that numMotifs + 1 cannot wrap.
std::uint64_t MotifBlockLength(const MotifBlock& block);

// The width of motif m and its record text.
inline std::uint32_t MotifWidth(const motifMappedMemoryCDT& db, std::uint32_t m) {
  return db.bitIndices[m + 1] - db.bitIndices[m];
}
inline std::string_view MotifRecord(const motifMappedMemoryCDT& db, std::uint32_t m) {
  return {db.records + db.recordIndices[m], db.recordIndices[m + 1] - db.recordIndices[m]};
}

// The anchor of motif m.
inline MotifAnchor MotifAnchorOf(const motifMappedMemoryCDT& db, std::uint32_t m) {
  return db.anchors == nullptr ? kUnanchored : static_cast<MotifAnchor>(db.anchors[m]);
}

// The number of placements of a motif of width w with `anchor` in a sequence
// of `length` residues: L - w + 1 for an unanchored motif, at most 1 for an
// anchored one, and 0 when the motif is wider than the sequence.
inline std::uint64_t PlacementCount(MotifAnchor anchor, std::uint32_t width, std::uint64_t length) {
  if (width > length) return 0;
  if (anchor == kUnanchored) return length - width + 1;
  if (anchor == kAnchoredAtBothEnds) return width == length ? 1 : 0;
  return 1;
}

// The start of an anchored motif's placement; the motif must have one.
inline std::uint64_t AnchoredStart(MotifAnchor anchor, std::uint32_t width, std::uint64_t length) {
  return anchor == kAnchoredAtEnd ? length - width : 0;
}

// Reads the stats file into numMotifs, numMotifBits and numMotifChars; a file
// that cannot be opened ends the run (status 1).
void InitializeMotifGlobalVariables(const char* filename);

// Forms the root path, reads the stats file and maps the nine blocks, and the
// anchors block if its file exists, into the caller's record. Returns only on
// success.
void MapMotifBlocksToMemory(int useLocalPath, motifMappedMemoryADT motifMappedMemoryObject,
                            const char* motifDatabase);

// Releases the views with the counts they were mapped with. Neither frees nor
// clears the record.
void UnmapMotifBlocksFromMemory(motifMappedMemoryADT motifMappedMemoryObject);

#endif  // BRISEL_MOTIF_DATABASE_H
