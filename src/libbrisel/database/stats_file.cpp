// SPDX-License-Identifier: MIT
// stats_file.cpp: reads the three counts of a stats file.
#include "database/stats_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string_view>

#include "base/error.h"
#include "base/message_text.h"
#include "database/block_files.h"
#include "database/shard_manifest.h"

namespace brisel {

namespace {

constexpr std::uint64_t kMaxCount = UINT32_MAX;
// Quoted file text is cut at this many bytes, and "..." marks the cut.
constexpr std::size_t kQuotedLength = 24;

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool IsBlank(int c) {
  return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(int c) {
  return c >= '0' && c <= '9';
}

// One line as the reader sees it.
struct CountLine {
  enum class Kind { kBlank, kCount, kNotACount, kOutOfRange };
  Kind kind = Kind::kBlank;
  std::uint32_t value = 0;
  std::string quoted;  // the number as written, or the line's text; cut
};

void AppendQuoted(std::string& quoted, int c) {
  if (quoted.size() < kQuotedLength) {
    quoted += static_cast<char>(c);
  } else if (quoted.size() == kQuotedLength) {
    quoted += "...";
  }
}

class StatsReader {
 public:
  StatsReader(std::FILE* file, std::string_view path) : file_(file), path_(path) {}

  std::optional<std::string> Read(StatsCounts& counts) {
    std::size_t found = 0;
    while (found < counts.size()) {
      const int first = Next();
      if (first == EOF) break;
      ++line_;
      const CountLine line = ReadLine(first);
      if (readError_ != 0) break;
      if (line.kind == CountLine::Kind::kBlank) continue;
      if (line.kind == CountLine::Kind::kNotACount) {
        // Appended, not "'" + text: GCC 12 takes the insertion at the front
        // for an overlapping copy (-Wrestrict) at -O3 with _FORTIFY_SOURCE.
        std::string message(1, '\'');
        message += EscapedText(line.quoted);
        message += "' is not a count";
        return AtLine(message);
      }
      if (line.kind == CountLine::Kind::kOutOfRange) {
        return AtLine("count '" + EscapedText(line.quoted) + "' is out of range (0 to " +
                      std::to_string(kMaxCount) + ")");
      }
      counts[found++] = line.value;
    }
    if (readError_ != 0) return Fault(std::string("read error: ") + std::strerror(readError_));
    if (found == counts.size()) return std::nullopt;
    if (line_ == 0) return Fault("file is empty");
    return Fault("file ends after " + std::to_string(found) + " of its 3 counts");
  }

 private:
  int Next() {
    const int c = getc_unlocked(file_);
    if (c == EOF && std::ferror(file_) != 0 && readError_ == 0) {
      readError_ = errno != 0 ? errno : EIO;
    }
    return c;
  }

  // Reads the rest of the line that begins with `c`, through its newline.
  CountLine ReadLine(int c) {
    CountLine line;
    std::string text;  // the line's first bytes, for a line that is no count
    while (c != EOF && c != '\n' && IsBlank(c)) {
      AppendQuoted(text, c);
      c = Next();
    }
    if (c == EOF || c == '\n') return line;  // blank

    const bool negative = c == '-';
    if (c == '+' || c == '-') {
      AppendQuoted(line.quoted, c);
      AppendQuoted(text, c);
      c = Next();
    }
    std::uint64_t magnitude = 0;
    bool digits = false;
    for (; IsDigit(c); c = Next()) {
      digits = true;
      AppendQuoted(line.quoted, c);
      AppendQuoted(text, c);
      if (magnitude <= kMaxCount) magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (!digits) {
      for (; c != EOF && c != '\n'; c = Next())
        AppendQuoted(text, c);
      line.kind = CountLine::Kind::kNotACount;
      line.quoted = std::move(text);
      return line;
    }
    SkipRestOfLine(c);
    if (magnitude > kMaxCount || (negative && magnitude != 0)) {
      line.kind = CountLine::Kind::kOutOfRange;
      return line;
    }
    line.kind = CountLine::Kind::kCount;
    line.value = static_cast<std::uint32_t>(magnitude);
    return line;
  }

  void SkipRestOfLine(int c) {
    while (c != EOF && c != '\n')
      c = Next();
  }

  std::string Fault(const std::string& problem) const {
    return std::string(path_) + ": " + problem;
  }
  std::string AtLine(const std::string& problem) const {
    return std::string(path_) + ":" + std::to_string(line_) + ": " + problem;
  }

  std::FILE* file_;
  std::string_view path_;
  std::uint64_t line_ = 0;  // of the line being read, from 1
  int readError_ = 0;
};

}  // namespace

std::optional<std::string> ReadStatsFile(const char* filename, StatsCounts& counts) {
  // Without O_NONBLOCK, opening a FIFO would wait for a writer.
  const int fd = ::open(filename, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    return std::string("cannot open stats file '") + filename + "': " + std::strerror(errno);
  }
  struct stat status {};
  if (::fstat(fd, &status) != 0) {
    const int statError = errno;
    ::close(fd);
    return std::string(filename) + ": " + std::strerror(statError);
  }
  if (!S_ISREG(status.st_mode)) {
    ::close(fd);
    return std::string(filename) + ": " +
           (S_ISDIR(status.st_mode) ? "is a directory" : "not a regular file");
  }
  const FilePtr file(::fdopen(fd, "r"));
  if (!file) {
    const int openError = errno;
    ::close(fd);
    return std::string("cannot open stats file '") + filename + "': " + std::strerror(openError);
  }
  return StatsReader(file.get(), filename).Read(counts);
}

std::optional<std::uint64_t> ReadStatsDigest(const std::string& filename) {
  const int fd = ::open(filename.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  struct stat status {};
  // Three counts and the digest line take well under a kilobyte.
  char buffer[1024];
  std::size_t size = 0;
  if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
    for (ssize_t got; size < sizeof buffer; size += static_cast<std::size_t>(got)) {
      got = ::read(fd, buffer + size, sizeof buffer - size);
      if (got < 0 && errno == EINTR) {
        got = 0;
        continue;
      }
      if (got <= 0) break;
    }
  }
  ::close(fd);
  std::string_view text(buffer, size);
  for (int nonBlank = 0; !text.empty();) {
    const std::size_t end = text.find('\n');
    if (end == std::string_view::npos) break;  // a line cut short is no digest line
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end + 1);
    while (!line.empty() && IsBlank(line.back()))
      line.remove_suffix(1);
    while (!line.empty() && IsBlank(line.front()))
      line.remove_prefix(1);
    if (line.empty()) continue;
    if (++nonBlank < 4) continue;
    if (!line.starts_with(kStatsDigestWord)) return std::nullopt;
    return ParseHexDigits(line.substr(kStatsDigestWord.size()));
  }
  return std::nullopt;
}

StatsCounts ReadStatsCounts(const std::string& filename) {
  StatsCounts counts{};
  if (const auto fault = ReadStatsFile(filename.c_str(), counts)) {
    struct stat status {};
    const bool missing = ::stat(filename.c_str(), &status) != 0 && errno == ENOENT;
    throw brisel::Error(missing ? brisel::Error::Kind::kNotFound : brisel::Error::Kind::kDamaged,
                        EscapedText(*fault), missing ? ENOENT : 0);
  }
  return counts;
}

}  // namespace brisel
