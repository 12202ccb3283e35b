// SPDX-License-Identifier: MIT
// fasta_file_records.h: the records of a FASTA file, for the direct search.
//
// The file (a path, or "-" for standard input), plain or compressed, is read by
// the rules of fasta_record_reader.h as brisel-makedb reads it: records of any
// number of lines, their sequence lines joined, and a record with an empty
// sequence taken (a database holds it with length 0). Each record is handed
// out whole, its name without the '>', so that the indexed search of the
// records is the search of the database brisel-makedb builds from the file.
//
// A fault of the input (a read error, compressed data cut short or corrupt,
// text that is not FASTA, a NUL byte, a name line too long, a sequence longer
// than a database's 32-bit positions reach, a record that does not fit in
// memory) ends the records: Next returns false and the fault is kept, with the
// line where reading stopped. Every record handed out before it was read
// whole; the record in which reading stopped is not handed out.
//
// Read as nucleotide records (RecordLetters::kNucleotides, for the translated
// search), every byte of a sequence must be an IUPAC nucleotide letter
// (nucleotide_codes.h): any other ends the records with a fault naming the
// line, the record and the byte; such a record may be up to
// kMaxNucleotideLength bases long (each of its frames' stretches then fits a
// sequence's 32-bit positions).
//
// NucleotideRecords checks the records of any other source (a front end's
// own sequences) alike: a record with a byte that is no nucleotide letter
// ends them, with a fault naming the record by its number; it also takes the
// '>' off names given as FASTA name lines, so that names are database names.
//
// The object owns the open input and its reader; its memory is the reader's
// buffers besides the record being read into the caller's.
#ifndef BRISEL_INPUT_FASTA_FILE_RECORDS_H
#define BRISEL_INPUT_FASTA_FILE_RECORDS_H

#include <cstdint>
#include <optional>
#include <string>

#include "base/error.h"
#include "input/fasta_record_reader.h"
#include "input/input_file.h"
#include "input/record_source.h"

namespace brisel {

// What the sequences of records are.
enum class RecordLetters { kResidues, kNucleotides };

// The longest nucleotide record: three times the longest sequence.
inline constexpr std::uint64_t kMaxNucleotideLength = 3 * std::uint64_t{0xFFFFFFFFu};

class FastaFileRecords final : public RecordSource {
 public:
  // Opens `path`; throws InputError when it cannot be opened.
  explicit FastaFileRecords(const std::string& path,
                            RecordLetters letters = RecordLetters::kResidues);

  bool Next(SequenceRecord& record) override;

  // The records handed out so far.
  std::uint64_t count() const { return count_; }
  // The fault that ended the records; null when they ended with the input.
  const brisel::Error* fault() const { return fault_ ? &*fault_ : nullptr; }

 private:
  // Reads the current record's residues into `text`.
  void ReadSequence(std::string& text);

  InputFile input_;
  FastaRecordReader reader_;
  const RecordLetters letters_;
  std::uint64_t count_ = 0;
  bool ended_ = false;
  std::optional<brisel::Error> fault_;
};

class NucleotideRecords final : public RecordSource {
 public:
  // Checks the records of `source`, which must outlive this object; `what`
  // names them in faults ("<sequences>").
  NucleotideRecords(RecordSource& source, std::string what);

  bool Next(SequenceRecord& record) override;

  std::uint64_t count() const { return count_; }
  const brisel::Error* fault() const { return fault_ ? &*fault_ : nullptr; }

 private:
  RecordSource& source_;
  const std::string what_;
  std::uint64_t count_ = 0;
  std::optional<brisel::Error> fault_;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_FASTA_FILE_RECORDS_H
