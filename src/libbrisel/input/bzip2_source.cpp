// SPDX-License-Identifier: MIT
// bzip2_source.cpp: bzip2 streams decoded through libbz2.
//
// Streams follow each other until the input ends, as pbzip2 writes them and
// `cat a.bz2 b.bz2` joins them. Bytes after a stream that do not begin another
// one are an error: they are not bzip2 data, and reading on would lose them.
#include <bzlib.h>

#include <algorithm>
#include <new>

#include "input/byte_source.h"
#include "input/stream_error.h"

namespace brisel {

namespace {

constexpr std::size_t kMaxStep = std::size_t{1} << 30;

const char* Reason(int status) {
  switch (status) {
    case BZ_DATA_ERROR:
      return "data integrity error";
    case BZ_DATA_ERROR_MAGIC:
      return "not a bzip2 stream";
    default:
      return "internal error";
  }
}

class Bzip2Source final : public ByteSource {
 public:
  explicit Bzip2Source(FileReader& file) : file_(file) { Begin(); }
  ~Bzip2Source() override {
    if (open_) ::BZ2_bzDecompressEnd(&stream_);
  }
  Bzip2Source(const Bzip2Source&) = delete;
  Bzip2Source& operator=(const Bzip2Source&) = delete;

  std::size_t Read(std::span<char> into) override {
    failure_.ThrowIfHeld();
    const std::size_t room = std::min(into.size(), kMaxStep);
    if (!open_ || room == 0) return 0;
    stream_.next_out = into.data();
    stream_.avail_out = static_cast<unsigned>(room);
    for (;;) {
      const std::span<const unsigned char> in = file_.Available();
      const std::size_t offered = std::min(in.size(), kMaxStep);
      // libbz2 does not write through next_in; its type just lacks the const.
      stream_.next_in = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
      stream_.avail_in = static_cast<unsigned>(offered);
      const int status = ::BZ2_bzDecompress(&stream_);
      file_.Consume(offered - stream_.avail_in);
      const std::size_t produced = room - stream_.avail_out;
      if (status == BZ_STREAM_END) {
        End();
        if (!file_.Peek(1).empty() && !StartNextStream()) {
          return failure_.Hold(CorruptError("bzip2", "bytes after the end of the last stream"),
                               produced);
        }
        if (!open_ || produced > 0) return produced;
        stream_.next_out = into.data();
        stream_.avail_out = static_cast<unsigned>(room);
        continue;
      }
      if (status == BZ_MEM_ERROR) throw std::bad_alloc();
      if (status != BZ_OK) return failure_.Hold(CorruptError("bzip2", Reason(status)), produced);
      if (produced > 0) return produced;
      if (offered == 0) throw CutShortError("bzip2");
    }
  }

 private:
  void Begin() {
    stream_ = bz_stream{};
    if (::BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) throw std::bad_alloc();
    open_ = true;
  }
  void End() {
    ::BZ2_bzDecompressEnd(&stream_);
    open_ = false;
  }
  // More bytes follow a stream: whether they begin another, made ready to
  // decode.
  bool StartNextStream() {
    const std::span<const unsigned char> head = file_.Peek(3);
    if (head.size() < 3 || head[0] != 'B' || head[1] != 'Z' || head[2] != 'h') return false;
    Begin();
    return true;
  }

  FileReader& file_;
  bz_stream stream_{};
  bool open_ = false;
  HeldFailure failure_;
};

}  // namespace

std::unique_ptr<ByteSource> NewBzip2Source(FileReader& file) {
  return std::make_unique<Bzip2Source>(file);
}

}  // namespace brisel
