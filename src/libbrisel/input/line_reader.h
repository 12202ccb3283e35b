// SPDX-License-Identifier: MIT
// line_reader.h: the lines of the scan search's sequence file, and the FASTA
// records they form.
//
// TextLines reads a file or a pipe front to back as it is (no decompression)
// and hands out its non-empty lines: the bytes between newlines, without the
// newline, of any length; a carriage return is an ordinary byte, and so is a
// NUL byte, which the readers of the lines refuse (text never holds one: the
// file is damaged or not text). A read that fails ends the lines after the
// text read before it; error() then tells what failed.
//
// FastaLineRecords forms the scan search's records of the lines; a NUL byte
// in a name or sequence line ends them with the fault that the FASTA readers
// give (fasta_record_reader.h), kept for the caller; the records before it
// are whole. RawLineFault does the same for the one raw sequence line.
//
// TextLines owns its descriptor and buffer; FastaLineRecords only borrows the
// lines it reads.
#ifndef BRISEL_INPUT_LINE_READER_H
#define BRISEL_INPUT_LINE_READER_H

#include <cstdint>
#include <optional>
#include <string>

#include "input/file_reader.h"
#include "input/input_error.h"
#include "input/record_source.h"

namespace brisel {

class TextLines {
 public:
  // Opens `path` for reading: a file, a pipe or a device, not a directory.
  // Returns no descriptor (-1) on failure, with errno telling why.
  static UniqueFd Open(const char* path);

  // `name` names the input in the readers' messages.
  explicit TextLines(UniqueFd fd, std::string name = {})
      : reader_(std::move(fd)), name_(std::move(name)) {}

  // Reads the next non-empty line into `line`. Returns false, leaving `line`
  // empty, when the input holds no further line.
  bool Next(std::string& line);

  // The description of the read that failed, if one did.
  const std::optional<std::string>& error() const { return error_; }
  const std::string& name() const { return name_; }
  // The number (from 1, empty lines counted) of the line Next gave last.
  std::uint64_t lineNumber() const { return lineNumber_; }

 private:
  FileReader reader_;
  std::string name_;
  std::optional<std::string> error_;
  std::uint64_t linesEnded_ = 0;  // newlines read
  std::uint64_t lineNumber_ = 0;
};

// The fault of the raw sequence `line`, the first line of `lines`, if it
// holds a NUL byte.
std::optional<InputError> RawLineFault(const TextLines& lines, std::string_view line);

// The records of FASTA lines: a name line, then a sequence line, alternately
// (records are formed by alternation alone; the name line is taken whole with
// its '>'). A name line without a sequence line after it gives a record with
// an empty text.
class FastaLineRecords final : public RecordSource {
 public:
  explicit FastaLineRecords(TextLines& lines) : lines_(lines) {}
  bool Next(SequenceRecord& record) override;

  // The records handed out.
  std::uint64_t count() const { return count_; }
  // The fault that ended the records; null when they ended with the lines.
  const InputError* fault() const { return fault_ ? &*fault_ : nullptr; }

 private:
  TextLines& lines_;
  std::uint64_t count_ = 0;
  std::optional<InputError> fault_;
};

}  // namespace brisel

#endif  // BRISEL_INPUT_LINE_READER_H
