// SPDX-License-Identifier: MIT
// input_file.h: an input file of a build or of the direct search, read line
// by line.
//
// The input is a named file or, for "-", standard input. Compressed input
// (gzip, bzip2, xz, zstd) is recognised by its first bytes, from a pipe as
// well as from a file, and decompressed as it is read (byte_source.h); any
// other input is read as it stands. Lines may be of any length; a line is
// handed out without its newline (a carriage return before it is kept) and
// stays valid until the next call. A reader that must not hold a whole line (a
// sequence on one line of any length) takes it in pieces of bounded size
// instead; one input is read either by lines or by pieces.
//
// Every failure throws InputError naming the input: "in.fa: cannot open: ..."
// and "in.fa: read error: ..." with the system's reason, and compressed data
// that ends early or cannot be decoded with the line that reading had reached,
// "in.fa.gz:2001: the gzip data is cut short; reading stopped in this line".
// The InputFile owns its descriptor, its decoder and its buffer.
#ifndef BRISEL_INPUT_INPUT_FILE_H
#define BRISEL_INPUT_INPUT_FILE_H

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "input/byte_source.h"
#include "input/compression.h"
#include "input/file_reader.h"

namespace brisel {

class InputFile {
 public:
  // Opens the input; throws InputError when it cannot be opened. Nothing is
  // read until the first line is asked for.
  explicit InputFile(const std::string& path);
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
  // The number of the line last returned (or of which a piece was), from 1.
  std::uint64_t lineNumber() const { return lineNumber_; }
  // Bytes taken from the file so far (compressed bytes for compressed input).
  std::uint64_t bytesRead() const { return file_.consumed(); }
  // The size of a regular file, for a percentage; none for a pipe.
  std::optional<std::uint64_t> totalBytes() const { return totalBytes_; }
  // The input's format, known once reading has begun.
  Compression compression() const { return compression_; }

 private:
  // Reads more bytes after the unread ones; false at the end of the input.
  // `line` is the line being read, for a message.
  bool Refill(std::uint64_t line);

  std::string name_;
  FileReader file_;
  std::optional<std::uint64_t> totalBytes_;
  Compression compression_ = Compression::kNone;
  std::unique_ptr<ByteSource> source_;  // reads through file_; made by the first read
  std::vector<char> buffer_;
  std::size_t begin_ = 0;  // first unread byte
  std::size_t end_ = 0;    // end of the bytes read
  bool atEnd_ = false;
  std::uint64_t lineNumber_ = 0;
  bool midLine_ = false;  // NextPiece has handed out part of the current line
};

}  // namespace brisel

#endif  // BRISEL_INPUT_INPUT_FILE_H
