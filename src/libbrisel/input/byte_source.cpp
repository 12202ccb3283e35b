// SPDX-License-Identifier: MIT
// byte_source.cpp: plain input, and the choice of a decoder.
#include "input/byte_source.h"

namespace brisel {

namespace {

class PlainSource final : public ByteSource {
 public:
  explicit PlainSource(FileReader& file) : file_(file) {}
  std::size_t Read(std::span<char> into) override { return file_.Read(into); }

 private:
  FileReader& file_;
};

}  // namespace

std::unique_ptr<ByteSource> OpenByteSource(FileReader& file, Compression& compression) {
  compression = RecognizeCompression(file.Peek(kCompressionMagicBytes));
  switch (compression) {
    case Compression::kGzip:
      return NewGzipSource(file);
    case Compression::kBzip2:
      return NewBzip2Source(file);
    case Compression::kXz:
      return NewXzSource(file);
    case Compression::kZstd:
      return NewZstdSource(file);
    case Compression::kNone:
      break;
  }
  return std::make_unique<PlainSource>(file);
}

}  // namespace brisel
