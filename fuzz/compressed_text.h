// SPDX-License-Identifier: MIT
// compressed_text.h: text compressed in each format the inputs may come in,
// by the formats' own libraries, for the fuzz bodies and the tests.
#ifndef BRISEL_FUZZ_COMPRESSED_TEXT_H
#define BRISEL_FUZZ_COMPRESSED_TEXT_H

#include <string>
#include <string_view>

#include "input/compression.h"

namespace brisel {

// One complete stream (gzip member, bzip2 or xz stream, zstd frame) of `text`
// in `format`; `text` itself for Compression::kNone. The bzip2 blocks hold
// 100 kB, so that longer texts take several; zstd frames end with a checksum,
// as the zstd tool writes them.
std::string CompressedText(std::string_view text, Compression format);

// "gzip", "bzip2", "xz", "zstd"; "plain" for none.
constexpr std::string_view CompressionName(Compression format) {
  switch (format) {
    case Compression::kGzip:
      return "gzip";
    case Compression::kBzip2:
      return "bzip2";
    case Compression::kXz:
      return "xz";
    case Compression::kZstd:
      return "zstd";
    case Compression::kNone:
      break;
  }
  return "plain";
}

}  // namespace brisel

#endif  // BRISEL_FUZZ_COMPRESSED_TEXT_H
