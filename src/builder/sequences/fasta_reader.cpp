// SPDX-License-Identifier: MIT
// fasta_reader.cpp: the pieces of the records of a FASTA input or a source.
#include "sequences/fasta_reader.h"

#include <algorithm>

#include "staging/build_error.h"

namespace brisel {

bool FastaPieces::Next(RecordPiece& piece) {
  if (inRecord_ && reader_.NextResidues(piece.text)) {
    piece.opensRecord = false;
    piece.place = {input_.name(), input_.lineNumber()};
    return true;
  }
  inRecord_ = reader_.NextRecord();
  if (!inRecord_) return false;
  piece.opensRecord = true;
  piece.text = reader_.name();
  piece.place = {input_.name(), input_.lineNumber()};
  progress_.Record();
  return true;
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
    throw Placed(BuildError(place.Prefix() + "the name '" + std::string(name) +
                            "' holds a newline or a NUL byte"),
                 {std::string(place.input), place.line, std::string(name)});
  }
  return name;
}

}  // namespace

bool SourcePieces::Next(RecordPiece& piece) {
  piece.place = {inputName_, records_};
  if (!residues_.empty()) {
    piece.opensRecord = false;
    piece.text = residues_;
    residues_ = {};
    return true;
  }
  if (!source_.Next(record_)) return false;
  piece.place.line = ++records_;
  const std::string_view name = SourceName(record_, piece.place);
  std::string_view residues = record_.text;
  if (residues.find('\0') != std::string_view::npos) {
    throw Placed(BuildError(piece.place.Prefix() + "a NUL byte in the sequence of record '" +
                            std::string(name) + "'"),
                 {std::string(piece.place.input), piece.place.line, std::string(name)});
  }
  if (std::any_of(residues.begin(), residues.end(), IsRemoved)) {
    cleaned_.assign(residues);
    std::erase_if(cleaned_, IsRemoved);
    residues = cleaned_;
  }
  residues_ = residues;
  piece.opensRecord = true;
  piece.text = name;
  return true;
}

}  // namespace brisel
