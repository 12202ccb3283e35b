// SPDX-License-Identifier: MIT
// sequence_builder.cpp: the blocks of a sequence database, streamed.
#include "sequences/sequence_builder.h"

#include <algorithm>
#include <utility>

#include "database/stats_file.h"
#include "residues/letter_masks.h"
#include "residues/residue_lists.h"
#include "staging/build_error.h"
#include "staging/database_output.h"

namespace brisel {

namespace {

// Buffers of the blocks, in bytes, in the order of kSequenceBlocks. The text
// and mask buffers hold the same number of residues, so the two blocks go to
// disk in step.
constexpr std::size_t kIndexBuffer = std::size_t{1} << 20;
constexpr std::size_t kTextBuffer = std::size_t{1} << 20;
constexpr std::size_t kWordBuffer = std::size_t{4} << 20;
constexpr std::array<std::size_t, kSequenceBlocks.size()> kBufferBytes = {
    kTextBuffer, kIndexBuffer, kTextBuffer, kWordBuffer, kIndexBuffer, kWordBuffer, kWordBuffer};

template <std::size_t... kBlock>
std::array<BlockFileWriter, sizeof...(kBlock)> StageBlocks(StagedDatabase& database,
                                                           std::index_sequence<kBlock...>) {
  return {BlockFileWriter(database.Stage(kSequenceBlocks[kBlock].suffix),
                          database.FinalPath(kSequenceBlocks[kBlock].suffix),
                          kBufferBytes[kBlock])...};
}

// Residues handled at a time: masks computed, text read back.
constexpr std::size_t kMaskChunk = std::size_t{1} << 12;
constexpr std::size_t kReadBackChunk = std::size_t{1} << 20;
// Positions buffered per letter while a long sequence's lists are sorted.
constexpr std::size_t kLetterBuffer = std::size_t{1} << 14;

}  // namespace

SequenceDatabaseBuilder::SequenceDatabaseBuilder(StagedFiles& files, std::string root,
                                                 SequenceLimits limits, std::string limitAdvice,
                                                 std::size_t heldResidues)
    : database_(files, std::move(root)),
      limits_(limits),
      limitAdvice_(std::move(limitAdvice)),
      heldResidues_(heldResidues),
      blocks_(StageBlocks(database_, std::make_index_sequence<kSequenceBlocks.size()>())) {
  letters_.reserve(heldResidues_);
  positions_.reserve(heldResidues_);
  nameIndices_.AppendUnsigned(0);
  sequenceIndices_.AppendUnsigned(0);
  offsetIndices_.AppendUnsigned(0);
}

void SequenceDatabaseBuilder::FailLimit(const RecordPlace& place, const std::string& what) const {
  throw BuildError(place.Prefix() + what + limitAdvice_);
}

void SequenceDatabaseBuilder::StartSequence(std::string_view name, const RecordPlace& place) {
  EndSequence();
  if (sequences_ >= limits_.maxSequences) {
    FailLimit(place, "more than " + std::to_string(limits_.maxSequences) + " sequences");
  }
  if (nameChars_ + name.size() > limits_.maxBlockLength) {
    FailLimit(place,
              "names longer than " + std::to_string(limits_.maxBlockLength) + " characters in all");
  }
  names_.Append(name.data(), name.size());
  digest_.Add(">");
  digest_.Add(name);
  digest_.Add("\n");
  nameChars_ += name.size();
  nameIndices_.AppendUnsigned(static_cast<std::uint32_t>(nameChars_));
  ++sequences_;
  open_ = true;
  start_ = residues_;
}

void SequenceDatabaseBuilder::AddResidues(std::string_view residues, const RecordPlace& place) {
  if (residues_ + residues.size() > limits_.maxBlockLength) {
    FailLimit(place, "more than " + std::to_string(limits_.maxBlockLength) + " residues in all");
  }
  texts_.Append(residues.data(), residues.size());
  digest_.Add(residues);
  const std::uint64_t length = residues_ - start_ + residues.size();
  if (held_ && length > heldResidues_) {
    held_ = false;
    letters_.clear();
  }
  std::uint32_t masks[kMaskChunk];
  std::uint8_t letters[kMaskChunk];
  for (std::size_t done = 0; done < residues.size();) {
    const std::size_t n = std::min(kMaskChunk, residues.size() - done);
    CodeResidues(residues.substr(done, n), masks, letters, letterCounts_);
    masks_.Append(std::span<const std::uint32_t>(masks, n));
    if (held_) letters_.insert(letters_.end(), letters, letters + n);
    done += n;
  }
  residues_ += residues.size();
}

void SequenceDatabaseBuilder::WriteHeldLetterLists() {
  std::uint64_t listed = 0;
  for (std::size_t k = 0; k < kLetterCount; ++k)
    listed += letterCounts_[k];
  positions_.resize(listed);
  SortLetterPositions(letters_, letterCounts_, positions_.data());
  offsets_.Append(std::span<const std::uint32_t>(positions_));
}

void SequenceDatabaseBuilder::WriteLetterListsFromText() {
  // Each letter's list has its place in the offsets block, known from the
  // counts; the text is read back once and each position buffered under its
  // letter until the buffer goes to its place.
  std::array<std::uint64_t, kLetterCount> cursor{};  // the next entry of each list
  cursor[0] = listed_;
  for (std::size_t k = 1; k < kLetterCount; ++k)
    cursor[k] = cursor[k - 1] + letterCounts_[k - 1];
  std::vector<std::uint32_t> buffers(kLetterCount * kLetterBuffer);
  std::array<std::size_t, kLetterCount> buffered{};
  const auto flush = [&](std::size_t k) {
    offsets_.WriteAt(cursor[k] * 4, buffers.data() + k * kLetterBuffer, buffered[k] * 4);
    cursor[k] += buffered[k];
    buffered[k] = 0;
  };
  const ResidueTables& tables = kResidueTables;
  std::vector<char> text(kReadBackChunk);
  const std::uint64_t length = residues_ - start_;
  for (std::uint64_t done = 0; done < length;) {
    const std::size_t n = std::min<std::uint64_t>(kReadBackChunk, length - done);
    texts_.ReadAt(start_ + done, std::span<char>(text.data(), n));
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t k = tables.letter[static_cast<unsigned char>(text[i])];
      if (k == kNotALetter) continue;
      buffers[k * kLetterBuffer + buffered[k]] = static_cast<std::uint32_t>(done + i);
      if (++buffered[k] == kLetterBuffer) flush(k);
    }
    done += n;
  }
  for (std::size_t k = 0; k < kLetterCount; ++k) {
    if (buffered[k] > 0) flush(k);
  }
  offsets_.Extend(cursor[kLetterCount - 1] * 4);
}

void SequenceDatabaseBuilder::EndSequence() {
  if (!open_) return;
  digest_.Add("\n");
  sequenceIndices_.AppendUnsigned(static_cast<std::uint32_t>(residues_));
  if (held_) {
    WriteHeldLetterLists();
  } else {
    WriteLetterListsFromText();
  }
  std::uint32_t ends[kLetterCount];
  for (std::size_t k = 0; k < kLetterCount; ++k) {
    listed_ += letterCounts_[k];
    ends[k] = static_cast<std::uint32_t>(listed_);
  }
  offsetIndices_.Append(std::span<const std::uint32_t>(ends));
  open_ = false;
  letterCounts_ = {};
  letters_.clear();
  held_ = true;
}

void SequenceDatabaseBuilder::Finish() {
  EndSequence();
  for (BlockFileWriter& block : blocks_)
    block.Close();
  WriteStagedStats(database_, sequences_, nameChars_, residues_,
                   std::string(kStatsDigestWord) + HexDigits(digest_.value()) + "\n");
}

}  // namespace brisel
