// SPDX-License-Identifier: MIT
// sequence_database.h: maps and releases a sequence database.
//
// A sequence database is a stats file (numSequences, numSequenceNameChars,
// numSequenceBits) and seven block files under one root path; kSequenceBlocks
// lists them in mapping order. SequenceViews holds one read-only view per
// block and the counts it was mapped with.
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

#include "database/block_files.h"
#include "residues/letter_masks.h"

namespace brisel {

// The seven views of a sequence database, in mapping order, the sizes of their
// files when they were mapped, and the stats counts they were mapped with.
struct SequenceViews {
  const char* names;
  const std::uint32_t* nameIndices;
  const char* textSequences;
  const std::uint32_t* bitSequences;
  const std::uint32_t* sequenceIndices;
  const std::uint32_t* offsets;
  const std::uint32_t* offsetIndices;
  std::array<std::uint64_t, 7> blockFileBytes;
  std::array<std::uint32_t, 3> counts;  // sequences, name characters, residues
};

// 26 x numSequences + 1 must fit in 32 bits.
inline constexpr std::uint32_t kMaxSequences = 165191049;

// The stats counts, in the stats file's order: indexes into the record's counts.
enum SequenceCount : std::size_t { kSequencesCount, kNameCharsCount, kSequenceBitsCount };

using SequenceBlock = BlockDescription<SequenceViews>;

inline constexpr std::array<SequenceBlock, 7> kSequenceBlocks = {{
    {"-names.bin", BlockElement::kChars, kNameCharsCount, 1, 0, kViewSlot<&SequenceViews::names>},
    {"-nameIndices.bin", BlockElement::kUnsignedLongs, kSequencesCount, 1, 1,
     kViewSlot<&SequenceViews::nameIndices>},
    {"-textSequences.bin", BlockElement::kChars, kSequenceBitsCount, 1, 0,
     kViewSlot<&SequenceViews::textSequences>},
    {"-bitSequences.bin", BlockElement::kUnsignedLongs, kSequenceBitsCount, 1, 0,
     kViewSlot<&SequenceViews::bitSequences>},
    {"-sequenceIndices.bin", BlockElement::kUnsignedLongs, kSequencesCount, 1, 1,
     kViewSlot<&SequenceViews::sequenceIndices>},
    {"-offsets.bin", BlockElement::kUnsignedLongs, kSequenceBitsCount, 1, 0,
     kViewSlot<&SequenceViews::offsets>},
    {"-offsetIndices.bin", BlockElement::kUnsignedLongs, kSequencesCount, kLetterCount, 1,
     kViewSlot<&SequenceViews::offsetIndices>},
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
inline std::uint32_t SequenceCountOf(const SequenceViews& db) {
  return db.counts[kSequencesCount];
}

// Reads the stats file and maps the seven blocks of the database at
// `rootPath` into `db`, counts included. Throws brisel::Error; what was
// mapped before the fault is released.
void MapSequenceDatabase(std::string_view rootPath, SequenceViews& db);

// Releases what MapSequenceDatabase mapped and clears the record.
void UnmapSequenceDatabase(SequenceViews& db);

}  // namespace brisel

#endif  // BRISEL_SEQUENCE_DATABASE_H
