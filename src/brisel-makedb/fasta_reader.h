// SPDX-License-Identifier: MIT
// fasta_reader.h: hands the records of a FASTA input to a builder.
//
// The records are read by the rules of FastaRecordReader
// (input/fasta_record_reader.h), with records of empty sequences taken: a
// sequence database may hold sequences of length 0.
#ifndef BRISEL_MAKEDB_FASTA_READER_H
#define BRISEL_MAKEDB_FASTA_READER_H

#include <string_view>

#include "input_file.h"
#include "progress_line.h"

// Receives the records in input order.
class FastaSink {
 public:
  virtual ~FastaSink() = default;
  // A new record begins; the previous one, if any, is complete.
  virtual void StartRecord(std::string_view name, const InputFile& input) = 0;
  // More residues of the current record (spaces, tabs and CRs already removed).
  virtual void AddResidues(std::string_view residues, const InputFile& input) = 0;
};

// Reads every record of `input` into `sink`, a long sequence line in several
// calls of AddResidues, counting the records on `progress`. Throws BuildError.
void ReadFastaRecords(InputFile& input, FastaSink& sink, ProgressLine& progress);

#endif  // BRISEL_MAKEDB_FASTA_READER_H
