// SPDX-License-Identifier: MIT
// brisel.h: the library's C-style interface to its databases and residue
// tables, with scanner.h and darray.h.
//
// These are the procedural operations and records that callers of brisel have
// always had; each is implemented over the library's rooms, which do the work:
// - Letter masks (residues/letter_masks.h): a 32-bit value in which bit i
//   stands for the letter 'A'+i, upper and lower case alike; bits 26 to 31 are
//   0, and every character that is not a letter has the mask 0. charToBitMap
//   and indexToBitMap produce masks; charToPercentageMap holds the background
//   residue frequencies (residues/letter_probabilities.h).
// - Block files (database/block_files.h): a database is a stats file of three
//   counts and block files, bare arrays of doubles, 32-bit unsigned values or
//   characters in host byte order, mapped read-only and indexed in place.
// - The database records motifMappedMemoryCDT and sequenceMappedMemoryCDT, one
//   read-only view per block, and the mapping of a program's two databases
//   with its process-wide counts (numMotifs, ...).
// - Block writers and the builder-side records motifMemoryBlockCDT,
//   sequenceMemoryBlockCDT and sequenceOffsetMapCDT, in which a database
//   builder may hold each block as a dynamic array. The library's own builder
//   does not use them.
//
// Failures: operations that map a program's database end the run on a fault,
// with one line on standard error and status 1; broken preconditions and
// exhausted memory end it through an assertion (base/assertion.h).
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
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "residues/letter_masks.h"

// ---- Residue bit maps --------------------------------------------------------

// Entries of charToBitMap: character codes 0 to 122 ('z').
inline constexpr int kCharToBitMapLength = 123;

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

// The views of a motif database (motif_database.h): logSpecificities,
// specificities, lengthCorrections, bitMotifs, bitIndices, homingBitLetters,
// offsets, records and recordIndices, in mapping order, then the sizes of
// their files, the optional anchors view and the counts they were mapped with.
using motifMappedMemoryCDT = brisel::MotifViews;
using motifMappedMemoryADT = motifMappedMemoryCDT*;

// The views of a sequence database (sequence_database.h): names, nameIndices,
// textSequences, bitSequences, sequenceIndices, offsets and offsetIndices,
// then the sizes of their files and the counts they were mapped with.
using sequenceMappedMemoryCDT = brisel::SequenceViews;
using sequenceMappedMemoryADT = sequenceMappedMemoryCDT*;

// ---- Database mapping of a program ------------------------------------------

// The counts of the databases a program mapped with MapMotifBlocksToMemory and
// MapSequenceBlocksToMemory: 0 until then, set once from the stats files.
extern std::uint32_t numMotifs;
extern std::uint32_t numMotifBits;
extern std::uint32_t numMotifChars;
extern std::uint32_t numSequences;
extern std::uint32_t numSequenceNameChars;
extern std::uint32_t numSequenceBits;

// Read a stats file into the three counts of its database; a fault ends the
// run with its message and status 1.
void InitializeMotifGlobalVariables(const char* filename);
void InitializeSequenceGlobalVariables(const char* filename);

// Form the root path of the database named `motifDatabase` or
// `sequenceDatabase` (under the data directory of its kind, or the name itself
// with useLocalPath), map it into the caller's record and set the
// process-wide counts. They return only on success: a fault ends the run with
// its message (a block file that cannot be mapped, with the fatal mapping
// text) and status 1.
void MapMotifBlocksToMemory(int useLocalPath, motifMappedMemoryADT motifMappedMemoryObject,
                            const char* motifDatabase);
void MapSequenceBlocksToMemory(int useLocalPath, sequenceMappedMemoryADT sequenceMappedMemoryObject,
                               const char* sequenceDatabase);

// Release the views with the counts they were mapped with. Neither frees nor
// clears the record.
void UnmapMotifBlocksFromMemory(motifMappedMemoryADT motifMappedMemoryObject);
void UnmapSequenceBlocksFromMemory(sequenceMappedMemoryADT sequenceMappedMemoryObject);

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
