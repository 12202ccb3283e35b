// SPDX-License-Identifier: MIT
// sequence_database.h: maps and releases a sequence database.
//
// A sequence database is a stats file (numSequences, numSequenceNameChars,
// numSequenceBits) and seven block files under one root path; kSequenceBlocks
// lists them in mapping order. The three counts are process-wide: 0 until the
// database is mapped, set once from its stats file.
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

extern std::uint32_t numSequences;
extern std::uint32_t numSequenceNameChars;
extern std::uint32_t numSequenceBits;

// 26 x numSequences + 1 must fit in 32 bits.
inline constexpr std::uint32_t kMaxSequences = 165191049;

enum class SequenceCount { kSequences, kNameChars, kSequenceBits };

struct SequenceBlock {
  std::string_view suffix;
  std::size_t elementWidth;
  SequenceCount count;
  std::uint64_t multiplier;  // 26 for the letter position index
  std::uint64_t extra;       // 1 for an index block
};

inline constexpr std::array<SequenceBlock, 7> kSequenceBlocks = {{
    {"-names.bin", 1, SequenceCount::kNameChars, 1, 0},
    {"-nameIndices.bin", 4, SequenceCount::kSequences, 1, 1},
    {"-textSequences.bin", 1, SequenceCount::kSequenceBits, 1, 0},
    {"-bitSequences.bin", 4, SequenceCount::kSequenceBits, 1, 0},
    {"-sequenceIndices.bin", 4, SequenceCount::kSequences, 1, 1},
    {"-offsets.bin", 4, SequenceCount::kSequenceBits, 1, 0},
    {"-offsetIndices.bin", 4, SequenceCount::kSequences, 26, 1},
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

// The number of elements a block is mapped with, in 64 bits.
std::uint64_t SequenceBlockLength(const SequenceBlock& block);

// Reads the stats file into numSequences, numSequenceNameChars and
// numSequenceBits; a file that cannot be opened ends the run (status 1).
void InitializeSequenceGlobalVariables(const char* filename);

// Forms the root path, reads the stats file and maps the seven blocks into the
// caller's record. Returns only on success.
void MapSequenceBlocksToMemory(int useLocalPath, sequenceMappedMemoryADT sequenceMappedMemoryObject,
                               const char* sequenceDatabase);

// Releases the seven views with the counts they were mapped with.
void UnmapSequenceBlocksFromMemory(sequenceMappedMemoryADT sequenceMappedMemoryObject);

#endif  // BRISEL_SEQUENCE_DATABASE_H
