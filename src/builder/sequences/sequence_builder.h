// SPDX-License-Identifier: MIT
// sequence_builder.h: writes the seven blocks and the stats file of one
// sequence database as the sequences are read.
//
// Each block is a staged file, appended to through a buffer of its own as the
// records arrive: the name and its index entry when a record starts; the
// residue texts and masks as its lines arrive; its text index entry and its 26
// letter position lists when it ends. Masks and lists are those of
// database/residue_lists.h, which the direct search forms in memory too. The
// lists of a sequence are sorted by letter from the letter of each residue,
// held in memory for up to
// `heldResidues` residues; the lists of a longer sequence are sorted from its
// text, read back from the text block, into their places in the offsets block.
// So the memory of a build is bounded whatever the input's size and its
// sequences' lengths. The stats file is staged last, when the database is
// finished, with the database's digest (shard_manifest.h) as its fourth line.
//
// Limits: at most kMaxSequences sequences (26 x numSequences + 1 must fit in
// 32 bits) and at most kMaxBlockLength name characters and residues (32-bit
// indexes).
// Passing a limit is an error, thrown with the limit and `limitAdvice` (how to
// split the input) while the staged files are still temporary.
#ifndef BRISEL_MAKEDB_SEQUENCE_BUILDER_H
#define BRISEL_MAKEDB_SEQUENCE_BUILDER_H

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "database/sequence_database.h"
#include "database/shard_manifest.h"
#include "input/input_file.h"
#include "residues/residue_lists.h"
#include "sequences/fasta_reader.h"
#include "staging/block_file_writer.h"
#include "staging/staged_files.h"

namespace brisel {

struct SequenceLimits {
  std::uint64_t maxSequences = kMaxSequences;
  std::uint64_t maxBlockLength = kMaxBlockLength;
};

inline constexpr std::size_t kDefaultHeldResidues = std::size_t{1} << 22;

class SequenceDatabaseBuilder {
 public:
  // Stages the seven blocks of the database at `root` among `files`.
  SequenceDatabaseBuilder(StagedFiles& files, std::string root, SequenceLimits limits,
                          std::string limitAdvice, std::size_t heldResidues = kDefaultHeldResidues);

  // A new record begins; the previous one, if any, is complete.
  void StartSequence(std::string_view name, const RecordPlace& place);
  // More residues of the current record.
  void AddResidues(std::string_view residues, const RecordPlace& place);
  // Ends the last record, completes the blocks and stages the stats file.
  void Finish();

  std::uint64_t sequences() const { return sequences_; }
  std::uint64_t residues() const { return residues_; }
  std::uint64_t nameChars() const { return nameChars_; }
  // The digest of the records so far (of them all once finished).
  std::uint64_t digest() const { return digest_.value(); }

 private:
  void EndSequence();
  void WriteHeldLetterLists();
  void WriteLetterListsFromText();
  [[noreturn]] void FailLimit(const RecordPlace& place, const std::string& what) const;

  StagedDatabase database_;
  SequenceLimits limits_;
  std::string limitAdvice_;
  std::size_t heldResidues_;
  // The blocks in the order of kSequenceBlocks.
  std::array<BlockFileWriter, kSequenceBlocks.size()> blocks_;
  BlockFileWriter& names_ = blocks_[kNamesBlock];
  BlockFileWriter& nameIndices_ = blocks_[kNameIndicesBlock];
  BlockFileWriter& texts_ = blocks_[kTextSequencesBlock];
  BlockFileWriter& masks_ = blocks_[kBitSequencesBlock];
  BlockFileWriter& sequenceIndices_ = blocks_[kSequenceIndicesBlock];
  BlockFileWriter& offsets_ = blocks_[kOffsetsBlock];
  BlockFileWriter& offsetIndices_ = blocks_[kOffsetIndicesBlock];

  std::uint64_t sequences_ = 0;
  std::uint64_t nameChars_ = 0;
  std::uint64_t residues_ = 0;
  std::uint64_t listed_ = 0;  // entries of the offsets block
  ContentDigest digest_;

  // The open sequence: where its text starts, the number of residues of each
  // letter (26 for the other characters), and while it is short enough the
  // letter of each residue.
  bool open_ = false;
  std::uint64_t start_ = 0;
  LetterCounts letterCounts_{};
  std::vector<std::uint8_t> letters_;
  bool held_ = true;
  std::vector<std::uint32_t> positions_;  // the held sequence's sorted lists
};

}  // namespace brisel

#endif  // BRISEL_MAKEDB_SEQUENCE_BUILDER_H
