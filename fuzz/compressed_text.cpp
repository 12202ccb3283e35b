// SPDX-License-Identifier: MIT
// compressed_text.cpp: one stream of text in each format.
#include "compressed_text.h"

#include <bzlib.h>
#include <lzma.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdint>
#include <cstdlib>

namespace brisel {

namespace {

std::string Gzip(std::string_view text) {
  z_stream stream{};
  if (deflateInit2(&stream, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) std::abort();
  std::string out(deflateBound(&stream, text.size()), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  stream.avail_in = static_cast<uInt>(text.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  if (deflate(&stream, Z_FINISH) != Z_STREAM_END) std::abort();
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

std::string Bzip2(std::string_view text) {
  std::string out(text.size() + text.size() / 100 + 600, '\0');
  auto size = static_cast<unsigned>(out.size());
  if (BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(text.data()),
                               static_cast<unsigned>(text.size()), 1, 0, 0) != BZ_OK) {
    std::abort();
  }
  out.resize(size);
  return out;
}

std::string Xz(std::string_view text) {
  std::string out(lzma_stream_buffer_bound(text.size()), '\0');
  std::size_t size = 0;
  if (lzma_easy_buffer_encode(
          1, LZMA_CHECK_CRC64, nullptr, reinterpret_cast<const std::uint8_t*>(text.data()),
          text.size(), reinterpret_cast<std::uint8_t*>(out.data()), &size, out.size()) != LZMA_OK) {
    std::abort();
  }
  out.resize(size);
  return out;
}

// With a checksum, as the zstd tool writes frames.
std::string Zstd(std::string_view text) {
  ZSTD_CCtx* context = ZSTD_createCCtx();
  if (context == nullptr) std::abort();
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  std::string out(ZSTD_compressBound(text.size()), '\0');
  const std::size_t size =
      ZSTD_compress2(context, out.data(), out.size(), text.data(), text.size());
  ZSTD_freeCCtx(context);
  if (ZSTD_isError(size)) std::abort();
  out.resize(size);
  return out;
}

}  // namespace

std::string CompressedText(std::string_view text, Compression format) {
  switch (format) {
    case Compression::kGzip:
      return Gzip(text);
    case Compression::kBzip2:
      return Bzip2(text);
    case Compression::kXz:
      return Xz(text);
    case Compression::kZstd:
      return Zstd(text);
    case Compression::kNone:
      break;
  }
  return std::string(text);
}

}  // namespace brisel
