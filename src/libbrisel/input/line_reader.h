// SPDX-License-Identifier: MIT
// line_reader.h: the lines of the scan search's sequence file, and the FASTA
// records they form.
//
// TextLines reads a file or a pipe front to back as it is (no decompression)
// and hands out its non-empty lines: the bytes between newlines, without the
// newline, of any length; a carriage return is an ordinary byte. As for a C
// string, a line's text ends at its first NUL byte; the rest of the line is
// still consumed, and a line of NUL bytes only is a line with empty text. A
// read that fails ends the lines after the text read before it; error() then
// tells what failed.
//
// TextLines owns its descriptor and buffer; FastaLineRecords only borrows the
// lines it reads.
#ifndef BRISEL_INPUT_LINE_READER_H
#define BRISEL_INPUT_LINE_READER_H

#include <optional>
#include <string>

#include "input/file_reader.h"
#include "input/record_source.h"

namespace brisel {

class TextLines {
 public:
  // Opens `path` for reading: a file, a pipe or a device, not a directory.
  // Returns no descriptor (-1) on failure, with errno telling why.
  static UniqueFd Open(const char* path);

  explicit TextLines(UniqueFd fd) : reader_(std::move(fd)) {}

  // Reads the next non-empty line into `line`. Returns false, leaving `line`
  // empty, when the input holds no further line.
  bool Next(std::string& line);

  // The description of the read that failed, if one did.
  const std::optional<std::string>& error() const { return error_; }

 private:
  FileReader reader_;
  std::optional<std::string> error_;
};

// The records of FASTA lines: a name line, then a sequence line, alternately
// (records are formed by alternation alone; the name line is taken whole with
// its '>'). A name line without a sequence line after it gives a record with
// an empty text.
class FastaLineRecords final : public RecordSource {
 public:
  explicit FastaLineRecords(TextLines& lines) : lines_(lines) {}
  bool Next(SequenceRecord& record) override {
    if (!lines_.Next(record.name)) return false;
    lines_.Next(record.text);
    return true;
  }

 private:
  TextLines& lines_;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_LINE_READER_H
