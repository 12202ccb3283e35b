// SPDX-License-Identifier: MIT
// zstd_source.cpp: zstd frames decoded through libzstd.
//
// Frames follow each other until the input ends, skippable frames among them
// (pzstd writes one before each frame), as the zstd tool reads them; anything
// else after a frame is an error. The window is at most libzstd's default of
// 128 MiB, which every compression level uses; a frame written with a larger
// one (zstd --long=28 and above) is refused rather than given more memory.
#include <zstd.h>
#include <zstd_errors.h>

#include <new>

#include "input/byte_source.h"
#include "input/stream_error.h"

namespace brisel {

namespace {

class ZstdSource final : public ByteSource {
 public:
  explicit ZstdSource(FileReader& file) : file_(file), context_(::ZSTD_createDCtx()) {
    if (context_ == nullptr) throw std::bad_alloc();
  }
  ~ZstdSource() override { ::ZSTD_freeDCtx(context_); }
  ZstdSource(const ZstdSource&) = delete;
  ZstdSource& operator=(const ZstdSource&) = delete;

  std::size_t Read(std::span<char> into) override {
    failure_.ThrowIfHeld();
    ZSTD_outBuffer output{into.data(), into.size(), 0};
    if (into.empty()) return 0;
    for (;;) {
      const std::span<const unsigned char> in = file_.Available();
      if (!inFrame_) {
        if (in.empty()) return 0;  // the input ends after a frame
        if (!StartsFrame()) {
          return failure_.Hold(CorruptError("zstd", "bytes after the end of the last frame"),
                               output.pos);
        }
      }
      ZSTD_inBuffer input{in.data(), in.size(), 0};
      const std::size_t status = ::ZSTD_decompressStream(context_, &output, &input);
      file_.Consume(input.pos);
      if (::ZSTD_isError(status)) return failure_.Hold(Failure(status), output.pos);
      // 0: a frame is decoded and flushed whole. A call that does nothing
      // says nothing about the frame.
      if (input.pos > 0 || output.pos > 0) inFrame_ = status != 0;
      if (output.pos > 0) return output.pos;
      if (in.empty()) throw CutShortError("zstd");
    }
  }

 private:
  // Whether the bytes ahead begin a frame or a skippable frame.
  bool StartsFrame() {
    const std::span<const unsigned char> head = file_.Peek(4);
    return RecognizeCompression(head) == Compression::kZstd;
  }

  static StreamError Failure(std::size_t status) {
    if (::ZSTD_getErrorCode(status) == ZSTD_error_memory_allocation) throw std::bad_alloc();
    if (::ZSTD_getErrorCode(status) == ZSTD_error_frameParameter_windowTooLarge) {
      return StreamError(StreamError::kDecodeFailed,
                         "zstd data written with a window above 128 MiB (zstd --long=28 or "
                         "more) is not read");
    }
    return CorruptError("zstd", ::ZSTD_getErrorName(status));
  }

  FileReader& file_;
  ZSTD_DCtx* context_;
  bool inFrame_ = false;
  HeldFailure failure_;
};

}  // namespace

std::unique_ptr<ByteSource> NewZstdSource(FileReader& file) {
  return std::make_unique<ZstdSource>(file);
}

}  // namespace brisel
