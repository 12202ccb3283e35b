// SPDX-License-Identifier: MIT
// compressed_input_fuzz.cpp: compressed input read back against the text that
// was compressed, whole and damaged.
//
// The input's first four bytes choose what is done to the rest, the text:
//   byte 0, bits 0-1: the format (gzip, bzip2, xz, zstd);
//           bits 2-3: the number of streams less one, the text split evenly;
//           bit 4: read by pieces rather than by lines;
//           bits 5-6: the damage: none, the file cut short, one byte changed,
//           bytes appended;
//   bytes 1-2: where the damage is (little-endian, modulo the size);
//   byte 3: the byte that changes or is appended.
// Whole, the lines read must be the text's. Cut short, the file must be
// refused unless it was cut between streams (and for gzip, as zlib reads it,
// unless less than a member's two magic bytes are left), and what was read
// before the refusal must begin the text. Every refusal must name the file
// and the line being read. Any other damage must end cleanly, and what is
// read must begin the text where it is accepted after bytes were appended.
#include <string>
#include <vector>

#include "compressed_text.h"
#include "fuzz_bodies.h"
#include "fuzz_files.h"
#include "input/compression.h"
#include "input/input_error.h"
#include "input/input_file.h"

namespace brisel {

namespace {

enum Damage { kNone, kCut, kChange, kAppend };

struct Reading {
  std::string text;         // what was read, newlines restored
  std::uint64_t lines = 0;  // lines read whole
  std::string error;        // the refusal, if any
};

// Reads the whole file back, by lines or by pieces.
Reading ReadBack(const std::string& path, bool byPieces) {
  Reading reading;
  try {
    InputFile input(path);
    std::string_view piece;
    bool endsLine = false;
    if (byPieces) {
      while (input.NextPiece(piece, endsLine)) {
        FUZZ_CHECK(piece.size() <= InputFile::kMaxPiece);
        reading.text += piece;
        if (endsLine) {
          reading.text += '\n';
          ++reading.lines;
        }
        FUZZ_CHECK(input.lineNumber() == reading.lines + (endsLine ? 0 : 1));
      }
    } else {
      while (input.NextLine(piece)) {
        reading.text += piece;
        reading.text += '\n';
        ++reading.lines;
        FUZZ_CHECK(input.lineNumber() == reading.lines);
      }
    }
  } catch (const InputError& error) {
    reading.error = error.what();
  }
  return reading;
}

// `text` as lines read it back: every line ended by a newline.
std::string WithFinalNewline(std::string text) {
  if (!text.empty() && text.back() != '\n') text += '\n';
  return text;
}

}  // namespace

int FuzzCompressedInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const auto format = static_cast<Compression>(1 + (data[0] & 3));
  const std::size_t streams = 1 + ((data[0] >> 2) & 3);
  const bool byPieces = (data[0] & 0x10) != 0;
  const auto damage = static_cast<Damage>((data[0] >> 5) & 3);
  const std::size_t where = data[1] | (data[2] << 8);
  const char value = static_cast<char>(data[3]);
  const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);

  // The streams, and where each ends in the file.
  std::string file;
  std::vector<std::size_t> streamEnds, textEnds;
  for (std::size_t k = 0; k < streams; ++k) {
    const std::size_t from = text.size() * k / streams, to = text.size() * (k + 1) / streams;
    file += CompressedText(std::string_view(text).substr(from, to - from), format);
    streamEnds.push_back(file.size());
    textEnds.push_back(to);
  }
  switch (damage) {
    case kNone:
      break;
    case kCut:
      file.resize(where % file.size());
      break;
    case kChange:
      file[where % file.size()] ^= value == 0 ? 1 : value;
      break;
    case kAppend:
      file.append(1 + where % 16, value);
      break;
  }
  const std::string path =
      WriteScratchFile("input", reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
  const Reading reading = ReadBack(path, byPieces);

  const auto recognised =
      RecognizeCompression({reinterpret_cast<const unsigned char*>(file.data()), file.size()});
  if (recognised != format) return 0;  // the magic bytes are gone: plain text, never refused
  if (!reading.error.empty()) {
    FUZZ_CHECK(reading.error.starts_with(path + ":" + std::to_string(reading.lines + 1) + ": "));
    FUZZ_CHECK(reading.error.ends_with("; reading stopped in this line"));
  }
  const std::string whole = WithFinalNewline(text);
  switch (damage) {
    case kNone:
      FUZZ_CHECK(reading.error.empty());
      FUZZ_CHECK(reading.text == whole);
      break;
    case kCut: {
      // The streams that the cut leaves whole, and what is left of the next.
      std::size_t whole_streams = 0;
      while (whole_streams < streams && streamEnds[whole_streams] <= file.size())
        ++whole_streams;
      const std::size_t wholeEnd = whole_streams == 0 ? 0 : streamEnds[whole_streams - 1];
      const std::size_t left = file.size() - wholeEnd;
      const bool readable = left == 0 || (format == Compression::kGzip && left < 2);
      FUZZ_CHECK(reading.error.empty() == readable);
      const std::string kept =
          WithFinalNewline(text.substr(0, whole_streams == 0 ? 0 : textEnds[whole_streams - 1]));
      if (readable) {
        FUZZ_CHECK(reading.text == kept);
      } else {
        FUZZ_CHECK(whole.starts_with(reading.text));
      }
      break;
    }
    case kChange:
      break;
    case kAppend:
      if (reading.error.empty()) FUZZ_CHECK(reading.text.starts_with(whole));
      break;
  }
  return 0;
}

}  // namespace brisel
