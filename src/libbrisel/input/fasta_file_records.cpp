// SPDX-License-Identifier: MIT
// fasta_file_records.cpp: whole records, and the fault that ends them.
#include "input/fasta_file_records.h"

#include <new>

#include "input/input_error.h"
#include "residues/residue_lists.h"

namespace brisel {

FastaFileRecords::FastaFileRecords(const std::string& path) : input_(path), reader_(input_) {}

void FastaFileRecords::ReadSequence(std::string& text) {
  text.clear();
  std::string_view residues;
  while (reader_.NextResidues(residues)) {
    if (text.size() + residues.size() > ListedText::kMaxLength) {
      throw Placed(InputError(input_.name() + ":" + std::to_string(input_.lineNumber()) +
                              ": record '" + std::string(reader_.name()) + "' is longer than " +
                              std::to_string(ListedText::kMaxLength) +
                              " residues, the most a sequence may have"),
                   {input_.name(), input_.lineNumber(), std::string(reader_.name())});
    }
    text.append(residues);
  }
}

bool FastaFileRecords::Next(SequenceRecord& record) {
  if (ended_) return false;
  try {
    if (!reader_.NextRecord()) {
      ended_ = true;
      return false;
    }
    record.name.assign(reader_.name());
    ReadSequence(record.text);
  } catch (const brisel::Error& error) {
    fault_ = error;
  } catch (const std::bad_alloc&) {
    fault_ = InputError(input_.name() + ":" + std::to_string(input_.lineNumber()) +
                        ": out of memory while reading this line");
  }
  if (fault_) {
    ended_ = true;
    return false;
  }
  ++count_;
  return true;
}

}  // namespace brisel
