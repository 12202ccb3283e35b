// SPDX-License-Identifier: MIT
// output_streams.h: where a search's two streams go, the hits and the
// progress lines.
//
// An OutputStream takes bytes in order and remembers why its first write
// failed: a failed write leaves the stream failed, and nothing more is
// written to it. A search stops once its hit stream has failed. The streams
// are written by one thread at a time (the searches' writer).
//
// FileStream writes to a C stream (standard output or error, a file); the
// errno of its first failed write is kept, since it is gone by the time the
// run ends and a later fflush may set none. StringStream collects the bytes in
// memory; NullStream drops them.
#ifndef BRISEL_OUTPUT_OUTPUT_STREAMS_H
#define BRISEL_OUTPUT_OUTPUT_STREAMS_H

#include <cstdio>
#include <string>
#include <string_view>

namespace brisel {

class OutputStream {
 public:
  virtual ~OutputStream() = default;
  // Writes all of `bytes`; false once a write has failed.
  virtual bool Write(std::string_view bytes) = 0;
  bool failed() const { return error_ != 0; }
  // The errno of the first failed write; 0 if none has failed.
  int error() const { return error_; }

 protected:
  void Fail(int error) {
    if (error_ == 0) error_ = error;
  }

 private:
  int error_ = 0;
};

class FileStream final : public OutputStream {
 public:
  explicit FileStream(std::FILE* stream) : stream_(stream) {}
  bool Write(std::string_view bytes) override;
  // Flushes the C stream; false (and failed) when that or an earlier write failed.
  bool Flush();

 private:
  std::FILE* stream_;
};

class StringStream final : public OutputStream {
 public:
  bool Write(std::string_view bytes) override {
    text_ += bytes;
    return true;
  }
  std::string& text() { return text_; }

 private:
  std::string text_;
};

class NullStream final : public OutputStream {
 public:
  bool Write(std::string_view) override { return true; }
};

}  // namespace brisel

#endif  // BRISEL_OUTPUT_OUTPUT_STREAMS_H
