// SPDX-License-Identifier: MIT
// input_file.h: the input of a build, read line by line.
//
// The input is a named file or, for "-", standard input. gzip-compressed input
// is recognised by its magic bytes and decompressed through zlib; any other
// input is read as it stands. Lines may be of any length; a line is handed out
// without its newline (a carriage return before it is kept) and stays valid
// until the next call. A reader that must not hold a whole line (a sequence on
// one line of any length) takes it in pieces of bounded size instead; one
// input is read either by lines or by pieces. Read and decompression errors
// throw BuildError naming the input.
#ifndef BRISEL_MAKEDB_INPUT_FILE_H
#define BRISEL_MAKEDB_INPUT_FILE_H

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class InputFile {
 public:
  // Throws BuildError when the input cannot be opened.
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Stores the next line in `line`; false at the end of the input.
  bool NextLine(std::string_view& line);

  // Stores the next piece of the current line in `piece`, at most
  // kMaxPiece bytes, and whether it ends the line; false at the end of the
  // input. A piece is empty only when it ends its line.
  bool NextPiece(std::string_view& piece, bool& endsLine);
  static constexpr std::size_t kMaxPiece = std::size_t{1} << 16;

  // The input's name in messages: its path, or "standard input".
  const std::string& name() const { return name_; }
  // The number of the line last returned, from 1.
  std::uint64_t lineNumber() const { return lineNumber_; }
  // Bytes taken from the file so far (compressed bytes for gzip input).
  std::uint64_t bytesRead() const;
  // The size of a regular file, for a percentage; none for a pipe.
  std::optional<std::uint64_t> totalBytes() const { return totalBytes_; }
  // An estimate of the uncompressed size, for sizing arrays: the size of a
  // plain regular file, else none.
  std::optional<std::uint64_t> plainSize() const { return plainSize_; }

 private:
  // Reads more bytes after the unread ones; false at the end of the input.
  bool Refill();

  std::string name_;
  gzFile file_ = nullptr;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  bool atEnd_ = false;
  std::uint64_t lineNumber_ = 0;
  bool midLine_ = false;  // NextPiece has handed out part of the current line
  std::optional<std::uint64_t> totalBytes_;
  std::optional<std::uint64_t> plainSize_;
};

#endif  // BRISEL_MAKEDB_INPUT_FILE_H
