// SPDX-License-Identifier: MIT
// fasta_record_reader.cpp: the FASTA record rules.
#include "input/fasta_record_reader.h"

#include <array>

#include "input/input_error.h"

namespace brisel {

namespace {

// What becomes of each byte of a sequence line.
enum class SequenceByte : unsigned char { kResidue, kRemoved, kNul };

constexpr std::array<SequenceByte, 256> MakeSequenceBytes() {
  std::array<SequenceByte, 256> bytes{};
  bytes[' '] = bytes['\t'] = bytes['\r'] = SequenceByte::kRemoved;
  bytes[0] = SequenceByte::kNul;
  return bytes;
}

// The bytes that no text holds: control bytes other than tab, newline,
// vertical tab, form feed, carriage return and escape.
constexpr std::array<bool, 256> MakeBinaryBytes() {
  std::array<bool, 256> binary{};
  for (int c = 0; c < 0x20; ++c)
    binary[c] = c < '\t' || (c > '\r' && c != 0x1b);
  binary[0x7f] = true;
  return binary;
}

constexpr std::array<SequenceByte, 256> kSequenceBytes = MakeSequenceBytes();
constexpr std::array<bool, 256> kBinaryBytes = MakeBinaryBytes();

SequenceByte SequenceByteOf(char c) {
  return kSequenceBytes[static_cast<unsigned char>(c)];
}

bool HoldsBinary(std::string_view text) {
  for (const char c : text) {
    if (kBinaryBytes[static_cast<unsigned char>(c)]) return true;
  }
  return false;
}

constexpr const char* kDamaged = " (a damaged file, or not FASTA text)";

// The UTF-8 byte-order mark that some editors write first.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

constexpr const char* kLoneCarriageReturns =
    "a carriage return inside a line: the file's lines end in carriage returns alone "
    "(classic Mac OS), not in newlines; convert them, e.g. with tr '\\r' '\\n'";

}  // namespace

bool HoldsLoneCarriageReturn(std::string_view line) {
  const std::size_t cr = line.find('\r');
  return cr != std::string_view::npos && line.find_first_not_of('\r', cr) != std::string_view::npos;
}

InputError NulInNameLine(const std::string& input, std::uint64_t line) {
  return Placed(
      InputError(input + ":" + std::to_string(line) + ": a NUL byte in a name line" + kDamaged),
      {input, line});
}

InputError NulInSequence(const std::string& input, std::uint64_t line,
                         std::optional<std::string_view> record) {
  const std::string problem =
      record ? "a NUL byte in the sequence of record '" + std::string(*record) + "'"
             : std::string("a NUL byte in the sequence");
  return Placed(InputError(input + ":" + std::to_string(line) + ": " + problem + kDamaged),
                {input, line, std::string(record.value_or(""))});
}

FastaRecordReader::FastaRecordReader(InputFile& input, FastaRules rules)
    : input_(input), rules_(rules) {}

std::string FastaRecordReader::At(std::uint64_t line) const {
  return input_.name() + ":" + std::to_string(line) + ": ";
}

InputError FastaRecordReader::Fault(std::uint64_t line, const std::string& problem,
                                    std::string_view record) const {
  return Placed(InputError(At(line) + problem), {input_.name(), line, std::string(record)});
}

bool FastaRecordReader::NextRecord() {
  std::string_view rest;
  while (NextResidues(rest)) {
  }
  if (state_ == State::kBeforeFirstRecord) SkipToFirstRecord();
  if (nameFault_) throw *nameFault_;
  if (state_ == State::kAtEnd) return false;
  name_.swap(nextName_);
  nameLine_ = nextNameLine_;
  length_ = 0;
  state_ = State::kInSequence;
  return true;
}

void FastaRecordReader::SkipToFirstRecord() {
  std::string_view piece;
  bool endsLine = false;
  bool first = true;
  while (input_.NextPiece(piece, endsLine)) {
    const bool lineStart = atLineStart_;
    atLineStart_ = endsLine;
    // A byte-order mark before the first line is no part of it.
    if (first && piece.starts_with(kByteOrderMark)) piece.remove_prefix(kByteOrderMark.size());
    first = false;
    if (lineStart && !piece.empty() && piece[0] == '>') {
      ReadNameLine(piece, endsLine);
      return;
    }
    if (HoldsBinary(piece)) {
      throw Fault(input_.lineNumber(),
                  "binary data, not FASTA text (plain, or compressed with gzip, bzip2, xz "
                  "or zstd)");
    }
    if (!Residues(piece).empty()) {
      if (HoldsLoneCarriageReturn(piece)) throw Fault(input_.lineNumber(), kLoneCarriageReturns);
      throw Fault(input_.lineNumber(), "sequence text before the first '>' line");
    }
  }
  state_ = State::kAtEnd;
}

void FastaRecordReader::ReadNameLine(std::string_view piece, bool endsLine) {
  const auto tooLong = [&] {
    return Fault(input_.lineNumber(), "a name line longer than " +
                                          std::to_string(rules_.maxNameLength) +
                                          " bytes (lost line ends, or not FASTA text?)");
  };
  nextName_.assign(piece.substr(1));
  // One byte more than the limit may be the carriage return of a CRLF line.
  // Carriage returns alone end the lines of the first name line of a file
  // written so: all of the file then reads as that one line.
  const bool firstLine = input_.lineNumber() == 1;
  while (!endsLine) {
    if (nextName_.size() > rules_.maxNameLength + 1) {
      if (firstLine && HoldsLoneCarriageReturn(nextName_)) {
        throw Fault(input_.lineNumber(), kLoneCarriageReturns);
      }
      throw tooLong();
    }
    input_.NextPiece(piece, endsLine);
    nextName_.append(piece);
  }
  atLineStart_ = true;
  if (!nextName_.empty() && nextName_.back() == '\r') nextName_.pop_back();
  if (firstLine && HoldsLoneCarriageReturn(nextName_)) {
    throw Fault(input_.lineNumber(), kLoneCarriageReturns);
  }
  if (nextName_.size() > rules_.maxNameLength) throw tooLong();
  if (nextName_.find('\0') != std::string::npos) {
    throw NulInNameLine(input_.name(), input_.lineNumber());
  }
  nextNameLine_ = input_.lineNumber();
  state_ = State::kNameRead;
}

void FastaRecordReader::EndRecord() const {
  if (rules_.refuseEmptySequences && length_ == 0) {
    throw Fault(nameLine_, "record '" + name_ + "' has an empty sequence", name_);
  }
}

bool FastaRecordReader::NextResidues(std::string_view& residues) {
  if (state_ != State::kInSequence) return false;
  std::string_view piece;
  bool endsLine = false;
  while (input_.NextPiece(piece, endsLine)) {
    const bool lineStart = atLineStart_;
    atLineStart_ = endsLine;
    if (lineStart && !piece.empty() && piece[0] == '>') {
      EndRecord();
      // The current record is complete: a fault of the next one's name line
      // is its own, thrown when it is asked for.
      try {
        ReadNameLine(piece, endsLine);
      } catch (const InputError& error) {
        nameFault_ = error;
        state_ = State::kAtEnd;
      }
      return false;
    }
    residues = Residues(piece);
    if (!residues.empty()) {
      length_ += residues.size();
      return true;
    }
  }
  EndRecord();
  state_ = State::kAtEnd;
  return false;
}

std::string_view FastaRecordReader::Residues(std::string_view piece) {
  // Most lines hold nothing to remove and are handed out as they are.
  std::size_t i = 0;
  while (i < piece.size() && SequenceByteOf(piece[i]) == SequenceByte::kResidue)
    ++i;
  if (i == piece.size()) return piece;
  stripped_.assign(piece.data(), i);
  for (; i < piece.size(); ++i) {
    switch (SequenceByteOf(piece[i])) {
      case SequenceByte::kResidue:
        stripped_.push_back(piece[i]);
        break;
      case SequenceByte::kRemoved:
        break;
      case SequenceByte::kNul:
        throw NulInSequence(input_.name(), input_.lineNumber(), name_);
    }
  }
  return stripped_;
}

}  // namespace brisel
