// SPDX-License-Identifier: MIT
// fasta_file_records.cpp: whole records, and the fault that ends them.
#include "input/fasta_file_records.h"

#include <new>

#include "input/input_error.h"
#include "residues/residue_lists.h"
#include "translation/nucleotide_codes.h"

namespace brisel {

namespace {

// "'J'" (InputError escapes a control byte).
std::string QuotedByte(char byte) {
  return "'" + std::string(1, byte) + "'";
}

constexpr const char* kNucleotideLetters =
    "is not a nucleotide letter (IUPAC: A C G T U, R Y S W K M B D H V N, either case)";

}  // namespace

FastaFileRecords::FastaFileRecords(const std::string& path, RecordLetters letters)
    : input_(path), reader_(input_), letters_(letters) {}

void FastaFileRecords::ReadSequence(std::string& text) {
  text.clear();
  const bool nucleotides = letters_ == RecordLetters::kNucleotides;
  const std::uint64_t maxLength = nucleotides ? kMaxNucleotideLength : ListedText::kMaxLength;
  std::string_view residues;
  while (reader_.NextResidues(residues)) {
    const std::string at = input_.name() + ":" + std::to_string(input_.lineNumber()) + ": ";
    const ErrorPlace place{input_.name(), input_.lineNumber(), std::string(reader_.name())};
    if (text.size() + residues.size() > maxLength) {
      throw Placed(InputError(at + "record '" + std::string(reader_.name()) + "' is longer than " +
                              std::to_string(maxLength) +
                              (nucleotides ? " bases, the most a translated record may have"
                                           : " residues, the most a sequence may have")),
                   place);
    }
    if (nucleotides) {
      const std::size_t bad = FindNonNucleotide(residues);
      if (bad != std::string_view::npos) {
        throw Placed(InputError(at + QuotedByte(residues[bad]) + " in the sequence of record '" +
                                std::string(reader_.name()) + "' " + kNucleotideLetters),
                     place);
      }
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

NucleotideRecords::NucleotideRecords(RecordSource& source, std::string what)
    : source_(source), what_(std::move(what)) {}

bool NucleotideRecords::Next(SequenceRecord& record) {
  if (fault_ || !source_.Next(record)) return false;
  ++count_;
  const std::size_t bad = FindNonNucleotide(record.text);
  if (bad != std::string_view::npos) {
    fault_ = InputError(what_ + ":" + std::to_string(count_) + ": " + QuotedByte(record.text[bad]) +
                        " at position " + std::to_string(bad + 1) + " " + kNucleotideLetters);
    --count_;
    return false;
  }
  if (!record.name.empty() && record.name.front() == '>') record.name.erase(0, 1);
  return true;
}

}  // namespace brisel
