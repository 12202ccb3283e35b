// SPDX-License-Identifier: MIT
// gzip_source.cpp: gzip members decoded through zlib's inflate.
//
// Members follow each other until the input ends. Bytes after a member that
// do not begin another one are passed over, as zlib's own gzread and the
// gzip tool do (a tape's zero padding, for instance): builds have always read
// such files so.
#define ZLIB_CONST
#include <zlib.h>

#include <algorithm>
#include <new>

#include "input/byte_source.h"
#include "input/stream_error.h"

namespace brisel {

namespace {

// The most bytes handed to inflate in one call (its counts are 32-bit).
constexpr std::size_t kMaxStep = std::size_t{1} << 30;

class GzipSource final : public ByteSource {
 public:
  explicit GzipSource(FileReader& file) : file_(file) {
    if (::inflateInit2(&stream_, 15 + 16) != Z_OK) throw std::bad_alloc();
  }
  ~GzipSource() override { ::inflateEnd(&stream_); }
  GzipSource(const GzipSource&) = delete;
  GzipSource& operator=(const GzipSource&) = delete;

  std::size_t Read(std::span<char> into) override {
    failure_.ThrowIfHeld();
    const std::size_t room = std::min(into.size(), kMaxStep);
    if (ended_ || room == 0) return 0;
    stream_.next_out = reinterpret_cast<Bytef*>(into.data());
    stream_.avail_out = static_cast<uInt>(room);
    for (;;) {
      const std::span<const unsigned char> in = file_.Available();
      const std::size_t offered = std::min(in.size(), kMaxStep);
      stream_.next_in = in.data();
      stream_.avail_in = static_cast<uInt>(offered);
      const int status = ::inflate(&stream_, Z_NO_FLUSH);
      file_.Consume(offered - stream_.avail_in);
      const std::size_t produced = room - stream_.avail_out;
      switch (status) {
        case Z_STREAM_END:
          if (!StartNextMember()) ended_ = true;
          if (ended_ || produced > 0) return produced;
          continue;
        case Z_OK:
        case Z_BUF_ERROR:
          if (produced > 0) return produced;
          if (offered == 0) throw CutShortError("gzip");
          continue;
        case Z_MEM_ERROR:
          throw std::bad_alloc();
        case Z_NEED_DICT:
          return failure_.Hold(CorruptError("gzip", "a preset dictionary is needed"), produced);
        default:
          return failure_.Hold(
              CorruptError("gzip", stream_.msg != nullptr ? stream_.msg : "invalid data"),
              produced);
      }
    }
  }

 private:
  // After a member: whether another one follows, made ready to decode.
  bool StartNextMember() {
    const std::span<const unsigned char> head = file_.Peek(2);
    if (head.size() < 2 || head[0] != 0x1f || head[1] != 0x8b) return false;
    ::inflateReset(&stream_);
    return true;
  }

  FileReader& file_;
  z_stream stream_{};
  bool ended_ = false;
  HeldFailure failure_;
};

}  // namespace

std::unique_ptr<ByteSource> NewGzipSource(FileReader& file) {
  return std::make_unique<GzipSource>(file);
}

}  // namespace brisel
