// SPDX-License-Identifier: MIT
// fasta_reader.h: the records of a build's input, piece by piece.
//
// A build reads its input as RecordPieces: each record opens with its name
// and goes on with its residues, a long sequence line in several pieces. The
// build asks for the pieces one at a time and hands each to what it fills (a
// census, a database, a split piece), so the reading knows nothing of them.
//
// FastaPieces reads a FASTA input by the rules of FastaRecordReader
// (input/fasta_record_reader.h), with records of empty sequences taken: a
// sequence database may hold sequences of length 0.
//
// A builder may also take its records from a RecordSource (the sequences a
// Python program holds): names are then the FASTA name lines the source gives
// without their '>' (empty for a raw sequence), and the residues are cleaned
// as FASTA lines are, spaces, tabs, carriage returns and line feeds removed;
// a name that holds a newline or a NUL byte, or a sequence with a NUL
// byte, is refused (SourcePieces). Record k (from 1) stands as line k of the
// input in messages.
//
// Both borrow their input (and progress line) for their life.
#ifndef BRISEL_MAKEDB_FASTA_READER_H
#define BRISEL_MAKEDB_FASTA_READER_H

#include <cstdint>
#include <string>
#include <string_view>

#include "input/fasta_record_reader.h"
#include "input/input_file.h"
#include "input/reading_progress.h"
#include "input/record_source.h"

namespace brisel {

// Where a record stands in its input, for messages.
struct RecordPlace {
  std::string_view input;  // the input's name
  std::uint64_t line;      // the line being read, from 1

  // "<input>:<line>: ", which starts a message.
  std::string Prefix() const { return std::string(input) + ":" + std::to_string(line) + ": "; }
};

// A piece of a record: its name, which opens it, or more of its residues
// (spaces, tabs and carriage returns removed).
struct RecordPiece {
  bool opensRecord = false;
  std::string_view text;  // the name, or residues; valid until the next piece
  RecordPlace place;
};

class RecordPieces {
 public:
  virtual ~RecordPieces() = default;
  // The next piece; false at the end of the input. Throws InputError or
  // BuildError.
  virtual bool Next(RecordPiece& piece) = 0;
};

// Hands every piece of `pieces` to `filler`: StartRecord(name, place) for a
// record's name, AddResidues(residues, place) for its residues.
template <typename Filler>
void FillFrom(RecordPieces& pieces, Filler& filler) {
  RecordPiece piece;
  while (pieces.Next(piece)) {
    if (piece.opensRecord) {
      filler.StartRecord(piece.text, piece.place);
    } else {
      filler.AddResidues(piece.text, piece.place);
    }
  }
}

// The records of a FASTA input, counted on `progress` as they open.
class FastaPieces final : public RecordPieces {
 public:
  FastaPieces(InputFile& input, ReadingProgress& progress)
      : input_(input), progress_(progress), reader_(input) {}
  bool Next(RecordPiece& piece) override;

 private:
  InputFile& input_;
  ReadingProgress& progress_;
  FastaRecordReader reader_;
  bool inRecord_ = false;
};

// The records of a caller's source, named `inputName` in messages.
class SourcePieces final : public RecordPieces {
 public:
  SourcePieces(RecordSource& source, std::string_view inputName)
      : source_(source), inputName_(inputName) {}
  bool Next(RecordPiece& piece) override;

 private:
  RecordSource& source_;
  std::string_view inputName_;
  SequenceRecord record_;
  std::string cleaned_;
  std::uint64_t records_ = 0;
  std::string_view residues_;  // of the record just opened, not yet handed out
};

}  // namespace brisel

#endif  // BRISEL_MAKEDB_FASTA_READER_H
