// SPDX-License-Identifier: MIT
// sequence_database.h: maps and releases a sequence database.
//
// A sequence database is a stats file (numSequences, numSequenceNameChars,
// numSequenceBits) and seven block files under one root path; kSequenceBlocks
// lists them in mapping order. A mapped record holds the counts it was mapped
// with; the process-wide counts are those of the database that the program
// mapped with MapSequenceBlocksToMemory.
//
// Sequence s has the name names[nameIndices[s]] up to nameIndices[s+1], the
// residues textSequences and their letter masks bitSequences from
// sequenceIndices[s] up to sequenceIndices[s+1], and for each letter k (0 for
// 'A' to 25 for 'Z') the ascending list of the positions, relative to the start
// of the sequence, at which that letter occurs: offsets[offsetIndices[26s + k]]
// up to offsets[offsetIndices[26s + k + 1]]. `offsets` is mapped with the upper
// bound numSequenceBits; only offsetIndices[26 x numSequences] of its entries
// are ever read.
#ifndef BRISEL_SEQUENCE_DATABASE_H
#define BRISEL_SEQUENCE_DATABASE_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "brisel.h"
#include "database/block_files.h"

extern std::uint32_t numSequences;
extern std::uint32_t numSequenceNameChars;
extern std::uint32_t numSequenceBits;

// 26 x numSequences + 1 must fit in 32 bits.
inline constexpr std::uint32_t kMaxSequences = 165191049;

// The stats counts, in the stats file's order: indexes into the record's counts.
enum SequenceCount : std::size_t { kSequencesCount, kNameCharsCount, kSequenceBitsCount };

using SequenceBlock = BlockDescription<sequenceMappedMemoryCDT, sequenceMemoryBlockCDT>;

inline constexpr std::array<SequenceBlock, 7> kSequenceBlocks = {{
    {"-names.bin", BlockElement::kChars, kNameCharsCount, 1, 0,
     kViewSlot<&sequenceMappedMemoryCDT::names>, &sequenceMemoryBlockCDT::namesArray},
    {"-nameIndices.bin", BlockElement::kUnsignedLongs, kSequencesCount, 1, 1,
     kViewSlot<&sequenceMappedMemoryCDT::nameIndices>, &sequenceMemoryBlockCDT::nameIndicesArray},
    {"-textSequences.bin", BlockElement::kChars, kSequenceBitsCount, 1, 0,
     kViewSlot<&sequenceMappedMemoryCDT::textSequences>,
     &sequenceMemoryBlockCDT::textSequencesArray},
    {"-bitSequences.bin", BlockElement::kUnsignedLongs, kSequenceBitsCount, 1, 0,
     kViewSlot<&sequenceMappedMemoryCDT::bitSequences>, &sequenceMemoryBlockCDT::bitSequencesArray},
    {"-sequenceIndices.bin", BlockElement::kUnsignedLongs, kSequencesCount, 1, 1,
     kViewSlot<&sequenceMappedMemoryCDT::sequenceIndices>,
     &sequenceMemoryBlockCDT::sequenceIndicesArray},
    {"-offsets.bin", BlockElement::kUnsignedLongs, kSequenceBitsCount, 1, 0,
     kViewSlot<&sequenceMappedMemoryCDT::offsets>, &sequenceMemoryBlockCDT::offsetsArray},
    {"-offsetIndices.bin", BlockElement::kUnsignedLongs, kSequencesCount, kLetterCount, 1,
     kViewSlot<&sequenceMappedMemoryCDT::offsetIndices>,
     &sequenceMemoryBlockCDT::offsetIndicesArray},
}};

// Positions of the blocks in kSequenceBlocks.
enum SequenceBlockIndex : std::size_t {
  kNamesBlock,
  kNameIndicesBlock,
  kTextSequencesBlock,
  kBitSequencesBlock,
  kSequenceIndicesBlock,
  kOffsetsBlock,
  kOffsetIndicesBlock,
};

// The number of sequences of a mapped record.
inline std::uint32_t SequenceCountOf(const sequenceMappedMemoryCDT& db) {
  return db.counts[kSequencesCount];
}

// Reads the stats file and maps the seven blocks of the database at
// `rootPath` into `db`, counts included. Throws brisel::Error; what was
// mapped before the fault is released.
void MapSequenceDatabase(std::string_view rootPath, sequenceMappedMemoryCDT& db);

// Releases what MapSequenceDatabase mapped and clears the record.
void UnmapSequenceDatabase(sequenceMappedMemoryCDT& db);

// Reads the stats file into numSequences, numSequenceNameChars and
// numSequenceBits; a fault ends the run (status 1).
void InitializeSequenceGlobalVariables(const char* filename);

// Forms the root path and maps the database into the caller's record, setting
// the process-wide counts. Returns only on success: a fault ends the run with
// its message (a block file that cannot be mapped, with the fatal mapping
// text) and status 1.
void MapSequenceBlocksToMemory(int useLocalPath, sequenceMappedMemoryADT sequenceMappedMemoryObject,
                               const char* sequenceDatabase);

// Releases the seven views with the counts they were mapped with.
void UnmapSequenceBlocksFromMemory(sequenceMappedMemoryADT sequenceMappedMemoryObject);

#endif  // BRISEL_SEQUENCE_DATABASE_H
