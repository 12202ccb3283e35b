// sequence_builder.h: builds the seven blocks and the stats file of a sequence
// database from FASTA records.
//
// Names and residue texts are collected as they are read; the residue masks and
// the 26 ascending letter position lists of each sequence are derived from the
// texts when the database is written, one block at a time, so that the build
// holds at most the texts and one derived block in memory. Arrays are sized
// from the input so that their linear growth stays cheap.
//
// Limits: at most 165191049 sequences (26 x numSequences + 1 must fit in 32
// bits) and at most 4294967295 name characters and residues (32-bit indexes).
// Passing a limit is an error found while reading, before anything is written.
#ifndef BRISEL_MAKEDB_SEQUENCE_BUILDER_H
#define BRISEL_MAKEDB_SEQUENCE_BUILDER_H

#include <cstdint>
#include <optional>
#include <string_view>

#include "darray.h"
#include "fasta_reader.h"
#include "staged_files.h"

struct SequenceLimits {
  std::uint64_t maxSequences = 165191049;
  std::uint64_t maxBlockLength = 4294967295u;
};

class SequenceDatabaseBuilder final : public FastaSink {
 public:
  // `sizeHint`: the size of a plain input file, an upper bound of the names and
  // residues it holds.
  explicit SequenceDatabaseBuilder(std::optional<std::uint64_t> sizeHint,
                                   SequenceLimits limits = {});

  void StartRecord(std::string_view name, const InputFile& input) override;
  void AddResidues(std::string_view residues, const InputFile& input) override;

  // Writes the blocks and then the stats file as staged files of `database`.
  // Throws BuildError.
  void Write(StagedDatabase& database);

  std::uint64_t sequences() const { return ArrayLength(nameIndices_.get()) - 1; }
  std::uint64_t residues() const { return ArrayLength(textSequences_.get()); }

 private:
  void CloseRecord();

  SequenceLimits limits_;
  ArrayPtr names_;
  ArrayPtr nameIndices_;
  ArrayPtr textSequences_;
  ArrayPtr sequenceIndices_;
  bool inRecord_ = false;
};

#endif  // BRISEL_MAKEDB_SEQUENCE_BUILDER_H
