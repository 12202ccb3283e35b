// SPDX-License-Identifier: MIT
// fasta_reader.cpp: the records of the input, handed on as they are read.
#include "fasta_reader.h"

#include <algorithm>

#include "build_error.h"
#include "input/fasta_record_reader.h"

void ReadFastaRecords(InputFile& input, FastaSink& sink, ProgressLine& progress) {
  FastaRecordReader reader(input);
  std::string_view residues;
  while (reader.NextRecord()) {
    sink.StartRecord(reader.name(), {input.name(), input.lineNumber()});
    progress.Record();
    while (reader.NextResidues(residues))
      sink.AddResidues(residues, {input.name(), input.lineNumber()});
  }
}

namespace {

bool IsRemoved(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The name a record's FASTA name line gives, or a BuildError.
std::string_view SourceName(const SequenceRecord& record, const RecordPlace& place) {
  std::string_view name = record.name;
  if (name.starts_with('>')) name.remove_prefix(1);
  if (name.find_first_of(std::string_view("\n\0", 2)) != std::string_view::npos) {
    throw BuildError(place.Prefix() + "the name '" + std::string(name) +
                     "' holds a newline or a NUL byte");
  }
  return name;
}

}  // namespace

std::uint64_t ReadSourceRecords(RecordSource& source, std::string_view inputName, FastaSink& sink) {
  SequenceRecord record;
  std::string cleaned;
  std::uint64_t records = 0;
  while (source.Next(record)) {
    const RecordPlace place{inputName, ++records};
    const std::string_view name = SourceName(record, place);
    sink.StartRecord(name, place);
    std::string_view residues = record.text;
    if (residues.find('\0') != std::string_view::npos) {
      throw BuildError(place.Prefix() + "a NUL byte in the sequence of record '" +
                       std::string(name) + "'");
    }
    if (std::any_of(residues.begin(), residues.end(), IsRemoved)) {
      cleaned.assign(residues);
      std::erase_if(cleaned, IsRemoved);
      residues = cleaned;
    }
    if (!residues.empty()) sink.AddResidues(residues, place);
  }
  return records;
}
