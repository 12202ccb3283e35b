// SPDX-License-Identifier: MIT
// fasta_reader.h: hands the records of a FASTA input to a builder.
//
// The records are read by the rules of FastaRecordReader
// (input/fasta_record_reader.h), with records of empty sequences taken: a
// sequence database may hold sequences of length 0.
//
// A builder may also take its records from a RecordSource (the sequences a
// Python program holds): names are then the FASTA name lines the source gives
// without their '>' (empty for a raw sequence), and the residues are cleaned
// as FASTA lines are, spaces, tabs, carriage returns and line feeds removed;
// a name that holds a newline or a NUL byte, or a sequence with a NUL
// byte, is refused. Record k (from 1) stands as line k of the input in
// messages.
#ifndef BRISEL_MAKEDB_FASTA_READER_H
#define BRISEL_MAKEDB_FASTA_READER_H

#include <cstdint>
#include <string>
#include <string_view>

#include "input/input_file.h"
#include "input/record_source.h"
#include "progress_line.h"

// Where a record stands in its input, for messages.
struct RecordPlace {
  std::string_view input;  // the input's name
  std::uint64_t line;      // the line being read, from 1

  // "<input>:<line>: ", which starts a message.
  std::string Prefix() const { return std::string(input) + ":" + std::to_string(line) + ": "; }
};

// Receives the records in input order.
class FastaSink {
 public:
  virtual ~FastaSink() = default;
  // A new record begins; the previous one, if any, is complete.
  virtual void StartRecord(std::string_view name, const RecordPlace& place) = 0;
  // More residues of the current record (spaces, tabs and CRs already removed).
  virtual void AddResidues(std::string_view residues, const RecordPlace& place) = 0;
};

// Reads every record of `input` into `sink`, a long sequence line in several
// calls of AddResidues, counting the records on `progress`. Throws InputError
// (the input) or what the sink throws.
void ReadFastaRecords(InputFile& input, FastaSink& sink, ProgressLine& progress);

// Reads every record of `source` into `sink`, named `inputName` in messages.
// Returns the number of records. Throws BuildError.
std::uint64_t ReadSourceRecords(RecordSource& source, std::string_view inputName, FastaSink& sink);

#endif  // BRISEL_MAKEDB_FASTA_READER_H
