// SPDX-License-Identifier: MIT
// compression.h: the compressed formats an input may come in, told apart by
// their first bytes.
//
// gzip (1f 8b), bzip2 ("BZh", the block size digit and the magic of a first
// block or of the end of the stream), xz (fd "7zXZ" 00) and zstd (a frame,
// 28 b5 2f fd, or a skippable frame, 5? 2a 4d 18, as pzstd writes first).
// Anything else is plain text. None of these begins a FASTA file or a pattern
// file that builds, so recognising them changes no input that was read as
// text before.
#ifndef BRISEL_INPUT_COMPRESSION_H
#define BRISEL_INPUT_COMPRESSION_H

#include <cstddef>
#include <span>
#include <string_view>

namespace brisel {

enum class Compression { kNone, kGzip, kBzip2, kXz, kZstd };

// The most bytes RecognizeCompression looks at.
inline constexpr std::size_t kCompressionMagicBytes = 10;

// The format that the first bytes of an input announce; `head` holds its
// first kCompressionMagicBytes bytes, or all of a shorter input.
Compression RecognizeCompression(std::span<const unsigned char> head);

}  // namespace brisel

#endif  // BRISEL_INPUT_COMPRESSION_H
