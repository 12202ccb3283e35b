// SPDX-License-Identifier: MIT
// motif_database.h: maps and releases a motif database.
//
// A motif database is a stats file (numMotifs, numMotifBits, numMotifChars) and
// nine block files under one root path; kMotifBlocks lists them in mapping order
// with their suffixes, element types and counts. A mapped record holds the
// counts it was mapped with; the process-wide counts are those of the database
// that the program mapped with MapMotifBlocksToMemory: 0 until then, set once
// from its stats file.
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
#include <string>
#include <string_view>

#include "brisel.h"
#include "database/block_files.h"

extern std::uint32_t numMotifs;
extern std::uint32_t numMotifBits;
extern std::uint32_t numMotifChars;

// The stats counts, in the stats file's order: indexes into the record's counts.
enum MotifCount : std::size_t { kMotifsCount, kMotifBitsCount, kMotifCharsCount };

using MotifBlock = BlockDescription<motifMappedMemoryCDT, motifMemoryBlockCDT>;

inline constexpr std::array<MotifBlock, 9> kMotifBlocks = {{
    {"-logSpecificities.bin", BlockElement::kDoubles, kMotifsCount, 1, 0,
     kViewSlot<&motifMappedMemoryCDT::logSpecificities>,
     &motifMemoryBlockCDT::logSpecificitiesArray},
    {"-specificities.bin", BlockElement::kDoubles, kMotifsCount, 1, 0,
     kViewSlot<&motifMappedMemoryCDT::specificities>, &motifMemoryBlockCDT::specificitiesArray},
    {"-lengthCorrections.bin", BlockElement::kDoubles, kMotifsCount, 1, 0,
     kViewSlot<&motifMappedMemoryCDT::lengthCorrections>,
     &motifMemoryBlockCDT::lengthCorrectionsArray},
    {"-bitMotifs.bin", BlockElement::kUnsignedLongs, kMotifBitsCount, 1, 0,
     kViewSlot<&motifMappedMemoryCDT::bitMotifs>, &motifMemoryBlockCDT::bitMotifsArray},
    {"-bitIndices.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 1,
     kViewSlot<&motifMappedMemoryCDT::bitIndices>, &motifMemoryBlockCDT::bitIndicesArray},
    {"-homingBitLetters.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 0,
     kViewSlot<&motifMappedMemoryCDT::homingBitLetters>,
     &motifMemoryBlockCDT::homingBitLettersArray},
    {"-offsets.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 0,
     kViewSlot<&motifMappedMemoryCDT::offsets>, &motifMemoryBlockCDT::offsetsArray},
    {"-records.bin", BlockElement::kChars, kMotifCharsCount, 1, 0,
     kViewSlot<&motifMappedMemoryCDT::records>, &motifMemoryBlockCDT::recordsArray},
    {"-recordIndices.bin", BlockElement::kUnsignedLongs, kMotifsCount, 1, 1,
     kViewSlot<&motifMappedMemoryCDT::recordIndices>, &motifMemoryBlockCDT::recordIndicesArray},
}};

// Positions of the index blocks in kMotifBlocks.
inline constexpr std::size_t kBitIndicesBlock = 4;
inline constexpr std::size_t kMotifOffsetsBlock = 6;
inline constexpr std::size_t kRecordIndicesBlock = 8;

// The optional anchors block: one byte per motif.
inline constexpr std::string_view kAnchorsSuffix = "-anchors.bin";

// The number of motifs of a mapped record.
inline std::uint32_t MotifCountOf(const motifMappedMemoryCDT& db) {
  return db.counts[kMotifsCount];
}

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

// Reads the stats file and maps the nine blocks, and the anchors block if its
// file exists, of the database at `rootPath` into `db`, counts included.
// Throws brisel::Error; what was mapped before the fault is released.
void MapMotifDatabase(std::string_view rootPath, motifMappedMemoryCDT& db);

// Releases what MapMotifDatabase mapped and clears the record.
void UnmapMotifDatabase(motifMappedMemoryCDT& db);

// Reads the stats file into numMotifs, numMotifBits and numMotifChars; a fault
// ends the run (status 1).
void InitializeMotifGlobalVariables(const char* filename);

// Forms the root path and maps the database into the caller's record, setting
// the process-wide counts. Returns only on success: a fault ends the run with
// its message (a block file that cannot be mapped, with the fatal mapping
// text) and status 1.
void MapMotifBlocksToMemory(int useLocalPath, motifMappedMemoryADT motifMappedMemoryObject,
                            const char* motifDatabase);

// Releases the views with the counts they were mapped with. Neither frees nor
// clears the record.
void UnmapMotifBlocksFromMemory(motifMappedMemoryADT motifMappedMemoryObject);

#endif  // BRISEL_MOTIF_DATABASE_H
