// SPDX-License-Identifier: MIT
// fasta_reader.cpp: the records of the input, handed on as they are read.
#include "fasta_reader.h"

#include "fasta_record_reader.h"

void ReadFastaRecords(InputFile& input, FastaSink& sink, ProgressLine& progress) {
  FastaRecordReader reader(input);
  std::string_view residues;
  while (reader.NextRecord()) {
    sink.StartRecord(reader.name(), input);
    progress.Record();
    while (reader.NextResidues(residues))
      sink.AddResidues(residues, input);
  }
}
