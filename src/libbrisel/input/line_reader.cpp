// SPDX-License-Identifier: MIT
// line_reader.cpp: non-empty lines of a file, and the records they form.
#include "input/line_reader.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "input/fasta_record_reader.h"
#include "input/stream_error.h"

namespace brisel {

UniqueFd TextLines::Open(const char* path) {
  UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  // A directory opens for reading but cannot be read.
  struct stat status {};
  if (fd.get() >= 0 && ::fstat(fd.get(), &status) == 0 && S_ISDIR(status.st_mode)) {
    fd = UniqueFd();
    errno = EISDIR;
  }
  return fd;
}

bool TextLines::Next(std::string& line) {
  line.clear();
  if (error_) return false;
  try {
    for (;;) {
      const std::span<const unsigned char> bytes = reader_.Available();
      if (bytes.empty()) break;
      const auto* begin = bytes.data();
      const auto* newline =
          static_cast<const unsigned char*>(std::memchr(begin, '\n', bytes.size()));
      const std::size_t length = newline == nullptr ? bytes.size() : newline - begin;
      line.append(reinterpret_cast<const char*>(begin), length);
      reader_.Consume(newline == nullptr ? length : length + 1);
      if (newline == nullptr) continue;
      ++linesEnded_;
      if (!line.empty()) {
        lineNumber_ = linesEnded_;
        return true;
      }
    }
  } catch (const StreamError& error) {
    error_ = error.what();
  }
  lineNumber_ = linesEnded_ + 1;  // a last line without a newline
  return !line.empty();
}

std::optional<InputError> RawLineFault(const TextLines& lines, std::string_view line) {
  if (line.find('\0') == std::string_view::npos) return std::nullopt;
  return NulInSequence(lines.name(), lines.lineNumber(), std::nullopt);
}

bool FastaLineRecords::Next(SequenceRecord& record) {
  if (fault_ || !lines_.Next(record.name)) return false;
  const std::uint64_t nameLine = lines_.lineNumber();
  lines_.Next(record.text);
  if (record.name.find('\0') != std::string::npos) {
    fault_ = NulInNameLine(lines_.name(), nameLine);
  } else if (record.text.find('\0') != std::string::npos) {
    const std::string_view name =
        std::string_view(record.name).substr(record.name.starts_with('>'));
    fault_ = NulInSequence(lines_.name(), lines_.lineNumber(), name);
  }
  if (fault_) return false;
  ++count_;
  return true;
}

}  // namespace brisel
