// SPDX-License-Identifier: MIT
// brisel.h: the shared vocabulary of both databases and both searches.
//
// - Letter masks: a 32-bit value in which bit i stands for the letter 'A'+i,
//   upper and lower case alike; bits 26 to 31 are 0, and every character that is
//   not a letter has the mask 0. A motif position matches a residue when the AND
//   of their masks is not 0. charToBitMap and indexToBitMap produce masks;
//   charToPercentageMap holds background residue frequencies (brisel.cpp).
// - Block files: a database is a stats file of three counts and block files, bare
//   arrays of doubles, 32-bit unsigned values or characters in host byte order,
//   which are mapped read-only and indexed in place (block_files.cpp).
// - The mapped database records motifMappedMemoryCDT and
//   sequenceMappedMemoryCDT, one read-only view per block.
// - Block writers and the builder-side records motifMemoryBlockCDT,
//   sequenceMemoryBlockCDT and sequenceOffsetMapCDT, in which a database builder
//   holds each block as a dynamic array (block_writers.cpp). The search never
//   creates them.
//
// Ownership: the caller allocates a database record, the mapping operation fills
// it, the release operation unmaps its views, and the caller frees the record.
// The residue maps belong to their callers and are only read once filled.
#ifndef BRISEL_BRISEL_H
#define BRISEL_BRISEL_H

#include <array>
#include <cstddef>
#include <cstdint>

#include "darray.h"

// ---- Residue bit maps --------------------------------------------------------

// Entries of charToBitMap: character codes 0 to 122 ('z').
inline constexpr int kCharToBitMapLength = 123;
// The letters 'A' to 'Z', and the mask of them all.
inline constexpr int kLetterCount = 26;
inline constexpr std::uint32_t kAllLettersMask = 0x3FFFFFFu;

// Sets entries 0 to mapLength - 1 to 0, then the 52 letter entries (up to index
// 122, whatever mapLength is: the map has at least 123 entries).
void InitializeCharToBitMap(std::uint32_t* charToBitMap, int mapLength);
// Sets entry i to 1 << i for i below mapLength (0 to 32).
void InitializeIndexToBitMap(std::uint32_t* indexToBitMap, int mapLength);

// The mask of a character: its map entry for codes 0 to 122, else 0 (so also
// for every byte with the high bit set).
inline std::uint32_t CharToMask(const std::uint32_t* charToBitMap, unsigned char c) {
  return c < kCharToBitMapLength ? charToBitMap[c] : 0;
}

// Sets all 123 entries: the background frequency of each of the 20 standard
// amino acids, as a fraction of 1, under its upper- and lower-case letter; 0.0
// for every other code (B, J, O, U, X and Z included).
void InitializeCharToPercentageMap(double* charToPercentageMap);

// ---- Motif anchors -------------------------------------------------------------

// Where a motif is tied to the sequence: the values of the optional anchors
// block of a motif database, one byte per motif. An unanchored motif may start
// anywhere; an anchored one has at most one placement in a sequence.
enum MotifAnchor : std::uint8_t {
  kUnanchored = 0,
  kAnchoredAtStart = 1,     // its placement starts at the first residue
  kAnchoredAtEnd = 2,       // its placement ends at the last residue
  kAnchoredAtBothEnds = 3,  // it spans the whole sequence
};

// ---- Block files -------------------------------------------------------------

// Each returns the read-only view of the first blockLength elements of the file,
// and only on success: a file that cannot be opened or mapped ends the run with
// "Fatal Error:  Memory mapping failed!" and status 1. A count of 0 gives an
// empty view (no mapping). When fileBytes is not null it receives the size of the
// file as it was when mapped.
const double* MapDoublesBlock(const char* mappedFilename, std::uint64_t blockLength,
                              std::uint64_t* fileBytes = nullptr);
const std::uint32_t* MapUnsignedLongsBlock(const char* mappedFilename, std::uint64_t blockLength,
                                           std::uint64_t* fileBytes = nullptr);
const char* MapCharsBlock(const char* mappedFilename, std::uint64_t blockLength,
                          std::uint64_t* fileBytes = nullptr);

// Releases a view with the element count and width it was mapped with.
void UnmapBlock(const void* view, std::uint64_t blockLength, std::size_t elementWidth);

// ---- Mapped database records -------------------------------------------------

// The nine views of a motif database, in mapping order, and the sizes of their
// files when they were mapped (for the consistency check); then the view of the
// optional anchors block, null when the database has none; then the stats
// counts the views were mapped with.
struct motifMappedMemoryCDT {
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
  std::array<std::uint32_t, 3> counts;  // numMotifs, numMotifBits, numMotifChars as mapped
};
using motifMappedMemoryADT = motifMappedMemoryCDT*;

// The seven views of a sequence database, in mapping order, the sizes of their
// files when they were mapped, and the stats counts they were mapped with.
struct sequenceMappedMemoryCDT {
  const char* names;
  const std::uint32_t* nameIndices;
  const char* textSequences;
  const std::uint32_t* bitSequences;
  const std::uint32_t* sequenceIndices;
  const std::uint32_t* offsets;
  const std::uint32_t* offsetIndices;
  std::array<std::uint64_t, 7> blockFileBytes;
  std::array<std::uint32_t, 3> counts;  // numSequences, numSequenceNameChars, numSequenceBits
};
using sequenceMappedMemoryADT = sequenceMappedMemoryCDT*;

// ---- Block writers and builder-side records ----------------------------------

// Each writes the elements of a dynamic array of its element type (characters,
// doubles, 32-bit unsigned values) to `outfilename` as a bare block: the first
// w bytes of each element in host byte order (w = 1, 8 or 4), nothing before,
// between or after them. The file is created or truncated. The array is only
// read. Returns false, with errno telling why, when the file cannot be opened,
// a write is short or the close fails; nothing is written through a failed open.
// The array's elements must be at least w bytes wide.
bool WriteCharsBlockToBinaryFile(DArray charsArray, const char* outfilename);
bool WriteDoublesBlockToBinaryFile(DArray doublesArray, const char* outfilename);
bool WriteUnsignedLongsBlockToBinaryFile(DArray unsignedLongsArray, const char* outfilename);

// The nine blocks of a motif database under construction, one array per block in
// mapping order, each holding exactly its block's content and count.
struct motifMemoryBlockCDT {
  DArray logSpecificitiesArray;   // doubles
  DArray specificitiesArray;      // doubles
  DArray lengthCorrectionsArray;  // doubles
  DArray bitMotifsArray;          // 32-bit unsigned
  DArray bitIndicesArray;         // 32-bit unsigned
  DArray homingBitLettersArray;   // 32-bit unsigned
  DArray offsetsArray;            // 32-bit unsigned
  DArray recordsArray;            // characters
  DArray recordIndicesArray;      // 32-bit unsigned
};
using motifMemoryBlockADT = motifMemoryBlockCDT*;

// The seven blocks of a sequence database under construction.
struct sequenceMemoryBlockCDT {
  DArray namesArray;            // characters
  DArray nameIndicesArray;      // 32-bit unsigned
  DArray textSequencesArray;    // characters
  DArray bitSequencesArray;     // 32-bit unsigned
  DArray sequenceIndicesArray;  // 32-bit unsigned
  DArray offsetsArray;          // 32-bit unsigned
  DArray offsetIndicesArray;    // 32-bit unsigned
};
using sequenceMemoryBlockADT = sequenceMemoryBlockCDT*;

// The 26 letter position lists of one sequence, 'A' to 'Z': arrays of 32-bit
// unsigned positions.
struct sequenceOffsetMapCDT {
  DArray map[26];
};
using sequenceOffsetMapADT = sequenceOffsetMapCDT*;

#endif  // BRISEL_BRISEL_H
