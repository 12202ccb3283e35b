// sequence_builder.cpp: the blocks of a sequence database.
#include "sequence_builder.h"

#include <algorithm>
#include <bit>
#include <string>
#include <vector>

#include "brisel.h"
#include "build_error.h"
#include "database_output.h"

namespace {

// Capacities, which are also the growth steps of the arrays. Large
// allocations are zero pages until they are touched, so an upper bound costs
// nothing beyond its address range.
constexpr std::uint64_t kMaxCharsCapacity = std::uint64_t{1} << 30;
constexpr std::uint64_t kUnknownCharsCapacity = std::uint64_t{64} << 20;
constexpr std::uint64_t kUnknownIndexCapacity = std::uint64_t{1} << 20;
constexpr unsigned long kLetterListCapacity = 4096;
constexpr std::size_t kMaskChunk = 1 << 16;

unsigned long CharsCapacity(std::optional<std::uint64_t> sizeHint) {
  if (!sizeHint) return kUnknownCharsCapacity;
  return std::clamp<std::uint64_t>(*sizeHint, 1, kMaxCharsCapacity);
}

unsigned long IndexCapacity(std::optional<std::uint64_t> sizeHint) {
  if (!sizeHint) return kUnknownIndexCapacity;
  return std::clamp<std::uint64_t>(*sizeHint / 16, 1, kMaxCharsCapacity / 4);
}

std::string At(const InputFile& input) {
  return input.name() + ":" + std::to_string(input.lineNumber()) + ": ";
}

void AppendIndex(DArray array, std::uint64_t value) {
  const auto entry = static_cast<std::uint32_t>(value);
  ArrayAppend(array, &entry);
}

const char* CharsOf(DArray array) {
  return ArrayLength(array) == 0 ? "" : static_cast<const char*>(ArrayNth(array, 0));
}

const std::uint32_t* UnsignedsOf(DArray array) {
  return static_cast<const std::uint32_t*>(ArrayNth(array, 0));
}

}  // namespace

SequenceDatabaseBuilder::SequenceDatabaseBuilder(std::optional<std::uint64_t> sizeHint,
                                                 SequenceLimits limits)
    : limits_(limits),
      names_(ArrayNew(1, CharsCapacity(sizeHint), nullptr)),
      nameIndices_(ArrayNew(sizeof(std::uint32_t), IndexCapacity(sizeHint), nullptr)),
      textSequences_(ArrayNew(1, CharsCapacity(sizeHint), nullptr)),
      sequenceIndices_(ArrayNew(sizeof(std::uint32_t), IndexCapacity(sizeHint), nullptr)) {
  AppendIndex(nameIndices_.get(), 0);
  AppendIndex(sequenceIndices_.get(), 0);
}

void SequenceDatabaseBuilder::CloseRecord() {
  if (!inRecord_) return;
  AppendIndex(sequenceIndices_.get(), residues());
  inRecord_ = false;
}

void SequenceDatabaseBuilder::StartRecord(std::string_view name, const InputFile& input) {
  CloseRecord();
  if (sequences() >= limits_.maxSequences) {
    throw BuildError(At(input) + "more than " + std::to_string(limits_.maxSequences) +
                     " sequences");
  }
  const std::uint64_t nameChars = ArrayLength(names_.get());
  if (nameChars + name.size() > limits_.maxBlockLength) {
    throw BuildError(At(input) + "names longer than " + std::to_string(limits_.maxBlockLength) +
                     " characters in all");
  }
  ArrayAppendMany(names_.get(), name.data(), name.size());
  AppendIndex(nameIndices_.get(), nameChars + name.size());
  inRecord_ = true;
}

void SequenceDatabaseBuilder::AddResidues(std::string_view residues, const InputFile& input) {
  if (this->residues() + residues.size() > limits_.maxBlockLength) {
    throw BuildError(At(input) + "more than " + std::to_string(limits_.maxBlockLength) +
                     " residues in all");
  }
  ArrayAppendMany(textSequences_.get(), residues.data(), residues.size());
}

void SequenceDatabaseBuilder::Write(StagedDatabase& database) {
  CloseRecord();
  const std::uint64_t sequenceCount = sequences();
  const std::uint64_t residueCount = residues();
  const char* text = CharsOf(textSequences_.get());
  const std::uint32_t* sequenceIndices = UnsignedsOf(sequenceIndices_.get());
  std::uint32_t charToBitMap[kCharToBitMapLength];
  InitializeCharToBitMap(charToBitMap, kCharToBitMapLength);

  WriteStagedBlock(database, "-names.bin", names_.get(), BlockKind::kChars);
  WriteStagedBlock(database, "-nameIndices.bin", nameIndices_.get(), BlockKind::kUnsignedLongs);
  WriteStagedBlock(database, "-textSequences.bin", textSequences_.get(), BlockKind::kChars);

  // The residue masks, element for element beside the texts. Their array is
  // reused for the letter position lists, which are never longer.
  const ArrayPtr residueArray(
      ArrayNew(sizeof(std::uint32_t), std::max<std::uint64_t>(residueCount, 1), nullptr));
  {
    std::uint32_t masks[kMaskChunk];
    for (std::uint64_t done = 0; done < residueCount;) {
      const std::size_t n = std::min<std::uint64_t>(kMaskChunk, residueCount - done);
      for (std::size_t i = 0; i < n; ++i) {
        masks[i] = CharToMask(charToBitMap, static_cast<unsigned char>(text[done + i]));
      }
      ArrayAppendMany(residueArray.get(), masks, n);
      done += n;
    }
    WriteStagedBlock(database, "-bitSequences.bin", residueArray.get(), BlockKind::kUnsignedLongs);
  }

  WriteStagedBlock(database, "-sequenceIndices.bin", sequenceIndices_.get(),
                   BlockKind::kUnsignedLongs);

  {  // For each sequence, the ascending positions of each letter, 'A' to 'Z'.
    DArray offsets = residueArray.get();
    ArrayClear(offsets);
    const ArrayPtr offsetIndices(ArrayNew(sizeof(std::uint32_t), 26 * sequenceCount + 1, nullptr));
    sequenceOffsetMapCDT letterLists;
    std::vector<ArrayPtr> owners;
    for (DArray& list : letterLists.map) {
      owners.emplace_back(ArrayNew(sizeof(std::uint32_t), kLetterListCapacity, nullptr));
      list = owners.back().get();
    }
    AppendIndex(offsetIndices.get(), 0);
    for (std::uint64_t s = 0; s < sequenceCount; ++s) {
      for (DArray list : letterLists.map)
        ArrayClear(list);
      const std::uint32_t start = sequenceIndices[s];
      const std::uint32_t length = sequenceIndices[s + 1] - start;
      for (std::uint32_t p = 0; p < length; ++p) {
        const std::uint32_t mask =
            CharToMask(charToBitMap, static_cast<unsigned char>(text[start + p]));
        if (mask != 0) ArrayAppend(letterLists.map[std::countr_zero(mask)], &p);
      }
      for (DArray list : letterLists.map) {
        const unsigned long n = ArrayLength(list);
        if (n > 0) ArrayAppendMany(offsets, ArrayNth(list, 0), n);
        AppendIndex(offsetIndices.get(), ArrayLength(offsets));
      }
    }
    WriteStagedBlock(database, "-offsets.bin", offsets, BlockKind::kUnsignedLongs);
    WriteStagedBlock(database, "-offsetIndices.bin", offsetIndices.get(),
                     BlockKind::kUnsignedLongs);
  }

  WriteStagedStats(database, sequenceCount, ArrayLength(names_.get()), residueCount);
}
