// SPDX-License-Identifier: MIT
// xz_source.cpp: xz streams decoded through liblzma.
//
// Streams follow each other until the input ends, with stream padding (zero
// bytes, in fours) after any of them, as the xz tool reads them; anything
// else after a stream is an error.
#include <lzma.h>

#include <algorithm>
#include <cstdint>
#include <new>

#include "input/byte_source.h"
#include "input/stream_error.h"

namespace brisel {

namespace {

constexpr unsigned char kMagic[] = {0xfd, '7', 'z', 'X', 'Z', 0x00};

const char* Reason(lzma_ret status) {
  switch (status) {
    case LZMA_FORMAT_ERROR:
      return "not an xz stream";
    case LZMA_OPTIONS_ERROR:
      return "unsupported options";
    case LZMA_DATA_ERROR:
      return "compressed data is corrupt";
    default:
      return "internal error";
  }
}

class XzSource final : public ByteSource {
 public:
  explicit XzSource(FileReader& file) : file_(file) { Begin(); }
  ~XzSource() override { ::lzma_end(&stream_); }
  XzSource(const XzSource&) = delete;
  XzSource& operator=(const XzSource&) = delete;

  std::size_t Read(std::span<char> into) override {
    failure_.ThrowIfHeld();
    if (ended_ || into.empty()) return 0;
    stream_.next_out = reinterpret_cast<std::uint8_t*>(into.data());
    stream_.avail_out = into.size();
    for (;;) {
      const std::span<const unsigned char> in = file_.Available();
      stream_.next_in = in.data();
      stream_.avail_in = in.size();
      // At the end of the input the decoder is told so, and then either ends
      // the stream or finds it cut short.
      const lzma_ret status = ::lzma_code(&stream_, in.empty() ? LZMA_FINISH : LZMA_RUN);
      file_.Consume(in.size() - stream_.avail_in);
      const std::size_t produced = into.size() - stream_.avail_out;
      switch (status) {
        case LZMA_STREAM_END:
          switch (AfterStream()) {
            case kEnd:
              ended_ = true;
              return produced;
            case kStray:
              ended_ = true;
              return failure_.Hold(CorruptError("xz", "bytes after the end of the last stream"),
                                   produced);
            case kNextStream:
              if (produced > 0) return produced;
              stream_.next_out = reinterpret_cast<std::uint8_t*>(into.data());
              stream_.avail_out = into.size();
              continue;
          }
          break;
        case LZMA_OK:
          if (produced > 0) return produced;
          continue;
        case LZMA_BUF_ERROR:
          return failure_.Hold(CutShortError("xz"), produced);
        case LZMA_MEM_ERROR:
          throw std::bad_alloc();
        default:
          return failure_.Hold(CorruptError("xz", Reason(status)), produced);
      }
    }
  }

 private:
  enum After { kEnd, kNextStream, kStray };

  void Begin() {
    ::lzma_end(&stream_);
    stream_ = LZMA_STREAM_INIT;
    const lzma_ret status = ::lzma_stream_decoder(&stream_, UINT64_MAX, 0);
    if (status == LZMA_MEM_ERROR) throw std::bad_alloc();
    if (status != LZMA_OK) throw CorruptError("xz", Reason(status));
  }

  // After a stream: passes over its padding, and makes the next stream ready
  // to decode if one follows.
  After AfterStream() {
    std::uint64_t padding = 0;
    for (;;) {
      const std::span<const unsigned char> in = file_.Available();
      const auto zeros = static_cast<std::size_t>(
          std::find_if(in.begin(), in.end(), [](unsigned char c) { return c != 0; }) - in.begin());
      file_.Consume(zeros);
      padding += zeros;
      if (zeros < in.size() || in.empty()) break;
    }
    if (padding % 4 != 0) return kStray;
    const std::span<const unsigned char> head = file_.Peek(sizeof kMagic);
    if (head.empty()) return kEnd;
    if (head.size() < sizeof kMagic || !std::equal(kMagic, kMagic + sizeof kMagic, head.begin())) {
      return kStray;
    }
    Begin();
    return kNextStream;
  }

  FileReader& file_;
  lzma_stream stream_ = LZMA_STREAM_INIT;
  bool ended_ = false;
  HeldFailure failure_;
};

}  // namespace

std::unique_ptr<ByteSource> NewXzSource(FileReader& file) {
  return std::make_unique<XzSource>(file);
}

}  // namespace brisel
