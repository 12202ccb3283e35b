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

class FastaFileRecords final : public RecordSource {
 public:
  // Opens `path`; throws InputError when it cannot be opened.
  explicit FastaFileRecords(const std::string& path);

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
  std::uint64_t count_ = 0;
  bool ended_ = false;
  std::optional<brisel::Error> fault_;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_FASTA_FILE_RECORDS_H
