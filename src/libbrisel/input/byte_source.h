// SPDX-License-Identifier: MIT
// byte_source.h: the bytes of an input as text, whatever it is compressed
// with.
//
// A ByteSource hands out the decompressed bytes of one input in order. The
// plain source passes the file's bytes through; each compressed format has a
// decoder of its own (gzip_source.cpp, bzip2_source.cpp, xz_source.cpp,
// zstd_source.cpp), built on the format's library and owning its handle.
// Every decoder reads concatenated streams whole, as the format's own tool
// does (`cat a.gz b.gz`, pbzip2, pzstd). A stream cut short, corrupt data or a
// failed read throws StreamError; the library running out of memory throws
// std::bad_alloc.
#ifndef BRISEL_INPUT_BYTE_SOURCE_H
#define BRISEL_INPUT_BYTE_SOURCE_H

#include <cstddef>
#include <memory>
#include <span>

#include "input/compression.h"
#include "input/file_reader.h"

namespace brisel {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Stores up to into.size() bytes in `into` and returns how many; 0 only at
  // the end of the input (or for an empty `into`).
  virtual std::size_t Read(std::span<char> into) = 0;
};

// The source of what `file` holds, recognised by its first bytes, which stay
// unread; `compression` receives the format. The source reads through `file`,
// which must outlive it.
std::unique_ptr<ByteSource> OpenByteSource(FileReader& file, Compression& compression);

// The decoders, each reading a stream of its format from the current position
// of `file`.
std::unique_ptr<ByteSource> NewGzipSource(FileReader& file);
std::unique_ptr<ByteSource> NewBzip2Source(FileReader& file);
std::unique_ptr<ByteSource> NewXzSource(FileReader& file);
std::unique_ptr<ByteSource> NewZstdSource(FileReader& file);

}  // namespace brisel

#endif  // BRISEL_INPUT_BYTE_SOURCE_H
