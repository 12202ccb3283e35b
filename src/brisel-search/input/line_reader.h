// SPDX-License-Identifier: MIT
// line_reader.h: reads whole lines of any length from a scanner, and the
// scan search's FASTA records from them.
//
// The scanner must have the newline as its only delimiter and discard it, so
// that each token is the next non-empty line cut at the buffer size. A line
// longer than one buffer arrives as successive tokens; the reader joins them, so
// a long line is never cut and the lines that follow it are never shifted. As
// for a C string, the line's text ends at its first NUL byte; the rest of the
// line is still consumed.
#ifndef BRISEL_INPUT_LINE_READER_H
#define BRISEL_INPUT_LINE_READER_H

#include <string>

#include "input/record_source.h"
#include "scanner.h"

// Reads the next non-empty line into `line` (without its newline). Returns false,
// leaving `line` empty, when the input holds no further line.
bool ReadWholeLine(Scanner scanner, std::string& line);

// The records of a scanner's FASTA lines: a name line, then a sequence line,
// alternately (records are formed by alternation alone; the name line is
// taken whole with its '>'). A name line without a sequence line after it
// gives a record with an empty text. The scanner is only lent.
class FastaLineRecords final : public RecordSource {
 public:
  explicit FastaLineRecords(Scanner scanner) : scanner_(scanner) {}
  bool Next(SequenceRecord& record) override {
    if (!ReadWholeLine(scanner_, record.name)) return false;
    ReadWholeLine(scanner_, record.text);
    return true;
  }

 private:
  Scanner scanner_;
};

#endif  // BRISEL_INPUT_LINE_READER_H
