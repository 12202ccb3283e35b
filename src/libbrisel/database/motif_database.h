// SPDX-License-Identifier: MIT
// motif_database.h: maps and releases a motif database.
//
// A motif database is a stats file (numMotifs, numMotifBits, numMotifChars) and
// nine block files under one root path; kMotifBlocks lists them in mapping order
// with their suffixes, element types and counts. MotifViews holds one
// read-only view per block, whether mapped from the files or held in memory
// by a builder, with the counts they hold.
//
// Motif m has the positions bitMotifs[bitIndices[m]] up to, not including,
// bitMotifs[bitIndices[m+1]], its record records[recordIndices[m]] up to
// records[recordIndices[m+1]], its specificity, log specificity, length
// correction, homing letter mask and homing position (offsets[m]).
//
// A tenth block is optional: "-anchors.bin", one MotifAnchor byte per motif.
// It is mapped when its file exists; without it every motif is
// unanchored. An anchored motif has at most one placement in a sequence of
// length L: start 0 (at the start), L - w (at the end), or 0 when w = L (at
// both ends).
#ifndef BRISEL_MOTIF_DATABASE_H
#define BRISEL_MOTIF_DATABASE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "database/block_files.h"

namespace brisel {

// Where a motif is tied to the sequence: the values of the optional anchors
// block, one byte per motif. An unanchored motif may start anywhere; an
// anchored one has at most one placement in a sequence.
enum MotifAnchor : std::uint8_t {
  kUnanchored = 0,
  kAnchoredAtStart = 1,     // its placement starts at the first residue
  kAnchoredAtEnd = 2,       // its placement ends at the last residue
  kAnchoredAtBothEnds = 3,  // it spans the whole sequence
};

// The nine views of a motif database, in mapping order, and the sizes of their
// files when they were mapped (for the consistency check); then the view of the
// optional anchors block, null when the database has none; then the stats
// counts the views hold.
struct MotifViews {
  const double* logSpecificities;
  const double* specificities;
  const double* lengthCorrections;
  const std::uint32_t* bitMotifs;
  const std::uint32_t* bitIndices;
  const std::uint32_t* homingBitLetters;
  const std::uint32_t* offsets;
  const char* records;
  const std::uint32_t* recordIndices;
  std::array<std::uint64_t, 9> blockFileBytes;
  const std::uint8_t* anchors = nullptr;  // a MotifAnchor per motif
  std::uint64_t anchorsFileBytes = 0;
  std::array<std::uint32_t, 3> counts;  // motifs, positions, record characters
};

// The stats counts, in the stats file's order: indexes into the record's counts.
enum MotifCount : std::size_t { kMotifsCount, kMotifBitsCount, kMotifCharsCount };

using MotifBlock = BlockDescription<MotifViews>;

inline constexpr std::array<MotifBlock, 9> kMotifBlocks = {{
    {"-logSpecificities.bin", BlockElement::kDoubles, kMotifsCount, 1, 0,
     kViewSlot<&MotifViews::logSpecificities>},
    {"-specificities.bin", BlockElement::kDoubles, kMotifsCount, 1, 0,
     kViewSlot<&MotifViews::specificities>},
    {"-lengthCorrections.bin", BlockElement::kDoubles, kMotifsCount, 1, 0,
     kViewSlot<&MotifViews::lengthCorrections>},
    {"-bitMotifs.bin", BlockElement::kUnsignedLongs, kMotifBitsCount, 1, 0,
     kViewSlot<&MotifViews::bitMotifs>},
    {"-bitIndices.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 1,
     kViewSlot<&MotifViews::bitIndices>},
    {"-homingBitLetters.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 0,
     kViewSlot<&MotifViews::homingBitLetters>},
    {"-offsets.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 0,
     kViewSlot<&MotifViews::offsets>},
    {"-records.bin", BlockElement::kChars, kMotifCharsCount, 1, 0, kViewSlot<&MotifViews::records>},
    {"-recordIndices.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 1,
     kViewSlot<&MotifViews::recordIndices>},
}};

// Positions of the index blocks in kMotifBlocks.
inline constexpr std::size_t kBitIndicesBlock = 4;
inline constexpr std::size_t kMotifOffsetsBlock = 6;
inline constexpr std::size_t kRecordIndicesBlock = 8;

// The optional anchors block: one byte per motif.
inline constexpr std::string_view kAnchorsSuffix = "-anchors.bin";

// The number of motifs of a mapped record.
inline std::uint32_t MotifCountOf(const MotifViews& db) {
  return db.counts[kMotifsCount];
}

// The width of motif m and its record text.
inline std::uint32_t MotifWidth(const MotifViews& db, std::uint32_t m) {
  return db.bitIndices[m + 1] - db.bitIndices[m];
}
inline std::string_view MotifRecord(const MotifViews& db, std::uint32_t m) {
  return {db.records + db.recordIndices[m], db.recordIndices[m + 1] - db.recordIndices[m]};
}

// The anchor of motif m.
inline MotifAnchor MotifAnchorOf(const MotifViews& db, std::uint32_t m) {
  return db.anchors == nullptr ? kUnanchored : static_cast<MotifAnchor>(db.anchors[m]);
}

// Reads the stats file and maps the nine blocks, and the anchors block if its
// file exists, of the database at `rootPath` into `db`, counts included.
// Throws brisel::Error; what was mapped before the fault is released.
void MapMotifDatabase(std::string_view rootPath, MotifViews& db);

// Releases what MapMotifDatabase mapped and clears the record.
void UnmapMotifDatabase(MotifViews& db);

}  // namespace brisel

#endif  // BRISEL_MOTIF_DATABASE_H
