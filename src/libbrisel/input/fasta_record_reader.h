// SPDX-License-Identifier: MIT
// fasta_record_reader.h: the records of FASTA text, one at a time, a long
// sequence in pieces.
//
// A line that begins with '>' starts a record; its name is the rest of the line
// without the '>' and without a final carriage return. The record's sequence is
// the following lines joined, with spaces, tabs and carriage returns removed and
// every other byte kept as it stands (case too). Blank lines are passed over,
// and so is a UTF-8 byte-order mark before the first line.
//
// Refused, with an InputError naming the input and the line:
// - text before the first '>' line: "binary data, not FASTA text" when it
//   holds a byte that no text holds (a control byte other than tab, vertical
//   tab, form feed, carriage return and escape), else "sequence text before
//   the first '>' line";
// - a NUL byte in a record, name or sequence: text never holds one, so the
//   file is damaged (zeroed blocks) or not text;
// - a carriage return followed by other bytes inside the file's first line
//   when it is a name line, or inside text before the first '>' line: the
//   lines end in carriage returns alone (classic Mac OS), and the whole file
//   would read as one name line (a later name line may hold carriage returns
//   as it stands);
// - a name line longer than FastaRules::maxNameLength bytes, which no real
//   name needs: the line ends are lost, or the file is not FASTA;
// - with FastaRules::refuseEmptySequences, a record without residues.
// A record is complete once its sequence has ended: a fault in the name line
// that ends it is the next record's, thrown by the NextRecord that moves there.
//
// A name is held whole; a sequence never is, so the memory a reader needs is
// bounded by the longest name whatever the input's size.
#ifndef BRISEL_INPUT_FASTA_RECORD_READER_H
#define BRISEL_INPUT_FASTA_RECORD_READER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "input/input_error.h"
#include "input/input_file.h"

namespace brisel {

// The faults of a NUL byte in `line` of `input`, worded alike by every reader
// of sequence text: in a name line, or in the sequence of record `record`
// (nullopt: a raw sequence, which has no record name).
InputError NulInNameLine(const std::string& input, std::uint64_t line);
InputError NulInSequence(const std::string& input, std::uint64_t line,
                         std::optional<std::string_view> record);

struct FastaRules {
  static constexpr std::size_t kMaxNameLength = std::size_t{64} << 20;

  // Whether a record without residues is an error (a database may hold
  // sequences of length 0, so the builder takes them).
  bool refuseEmptySequences = false;
  std::size_t maxNameLength = kMaxNameLength;
};

// Whether `line` holds a carriage return that some other byte follows, as the
// first line of a file whose lines end in carriage returns alone does (a
// name may end in carriage returns: the last ends its CRLF line). Such a
// first line is refused (see above).
bool HoldsLoneCarriageReturn(std::string_view line);

class FastaRecordReader {
 public:
  // Reads the records of `input`, which must outlive the reader.
  explicit FastaRecordReader(InputFile& input, FastaRules rules = {});

  // Moves to the next record, passing over what is left of the current one;
  // false at the end of the input. Throws InputError.
  bool NextRecord();
  // The current record's name, valid until the next call of NextRecord, and
  // the number of its name line.
  std::string_view name() const { return name_; }
  std::uint64_t nameLine() const { return nameLine_; }

  // Stores more residues of the current record in `residues`, never empty and
  // valid until the next call; false when the record has no more. Throws
  // InputError.
  bool NextResidues(std::string_view& residues);
  // The residues of the current record handed out so far.
  std::uint64_t length() const { return length_; }

 private:
  enum class State { kBeforeFirstRecord, kInSequence, kNameRead, kAtEnd };

  void SkipToFirstRecord();
  // Gathers the name line whose first piece is `piece` as the next record's.
  void ReadNameLine(std::string_view piece, bool endsLine);
  // The current record is complete.
  void EndRecord() const;
  // The piece of a sequence line without spaces, tabs and CRs.
  std::string_view Residues(std::string_view piece);
  std::string At(std::uint64_t line) const;
  // The fault `problem` in `line` (of record `record`, when known).
  InputError Fault(std::uint64_t line, const std::string& problem,
                   std::string_view record = {}) const;

  InputFile& input_;
  FastaRules rules_;
  State state_ = State::kBeforeFirstRecord;
  bool atLineStart_ = true;
  std::string name_;
  std::uint64_t nameLine_ = 0;
  std::uint64_t length_ = 0;
  std::string nextName_;  // the name line that ended the current record
  std::uint64_t nextNameLine_ = 0;
  std::optional<InputError> nameFault_;  // that name line's fault, for NextRecord
  std::string stripped_;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_FASTA_RECORD_READER_H
