// SPDX-License-Identifier: MIT
// fasta_reader.h: splits FASTA text into records.
//
// A line that begins with '>' starts a record; its name is the rest of the line
// without the '>' and without a final carriage return. The record's sequence is
// the following lines joined, with spaces, tabs and carriage returns removed and
// every other byte kept as it stands (case too). Blank lines are passed over;
// any other text before the first '>' line is an error.
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
// calls of AddResidues. Throws BuildError.
void ReadFastaRecords(InputFile& input, FastaSink& sink, ProgressLine& progress);

#endif  // BRISEL_MAKEDB_FASTA_READER_H
