// SPDX-License-Identifier: MIT
// The input reader over every compressed format, whole, concatenated and
// damaged, and the FASTA record rules that the builder does not use itself.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "compressed_text.h"
#include "input/fasta_record_reader.h"
#include "input/input_error.h"
#include "input/input_file.h"
#include "support/temp_dir.h"

using namespace brisel;

namespace {

constexpr Compression kFormats[] = {Compression::kGzip, Compression::kBzip2, Compression::kXz,
                                    Compression::kZstd};

// FASTA-like text of about `bytes` bytes: lines of 0 to 120 characters, some
// with CRLF ends, one of 300,000 characters (more than the reader's buffer),
// and no newline after the last line.
std::string RandomText(unsigned seed, std::size_t bytes) {
  std::mt19937 random(seed);
  std::string text;
  bool longLine = false;
  while (text.size() < bytes) {
    std::size_t length = random() % 121;
    if (!longLine && text.size() > bytes / 2) {
      length = 300000;
      longLine = true;
    }
    for (std::size_t i = 0; i < length; ++i)
      text += static_cast<char>('A' + random() % 26);
    text += random() % 5 == 0 ? "\r\n" : "\n";
  }
  text.pop_back();
  return text;
}

// What the reader hands out, newlines restored, and its refusal, if any.
struct Reading {
  std::string text;
  std::uint64_t lines = 0;
  std::string error;
};

Reading ReadBack(const std::string& path, bool byPieces) {
  Reading reading;
  try {
    InputFile input(path);
    std::string_view piece;
    bool endsLine = false;
    while (byPieces ? input.NextPiece(piece, endsLine) : input.NextLine(piece)) {
      reading.text += piece;
      if (!byPieces || endsLine) {
        reading.text += '\n';
        ++reading.lines;
      }
    }
  } catch (const InputError& error) {
    reading.error = error.what();
  }
  return reading;
}

std::string Name(Compression format) {
  return std::string(CompressionName(format));
}

TEST(CompressedInput, EveryFormatReadsAsItsTextInOneOrSeveralStreams) {
  TempDir dir;
  const std::string text = RandomText(1, 700000);
  for (const Compression format : kFormats) {
    // One stream; three, the middle one empty, as `cat` joins files.
    const std::string one = CompressedText(text, format);
    const std::string three = CompressedText(std::string_view(text).substr(0, 1000), format) +
                              CompressedText("", format) +
                              CompressedText(std::string_view(text).substr(1000), format);
    for (const std::string* file : {&one, &three}) {
      WriteFile(dir / "in", *file);
      for (const bool byPieces : {false, true}) {
        const Reading reading = ReadBack(dir / "in", byPieces);
        EXPECT_EQ(reading.error, "") << Name(format);
        EXPECT_TRUE(reading.text == text + "\n") << Name(format) << (byPieces ? " by pieces" : "");
      }
    }
    InputFile input(dir / "in");
    std::string_view line;
    ASSERT_TRUE(input.NextLine(line));
    EXPECT_EQ(input.compression(), format);
  }
}

TEST(CompressedInput, ACutStreamIsRefusedAtTheLineReached) {
  TempDir dir;
  const std::string text = RandomText(2, 400000);
  for (const Compression format : kFormats) {
    const std::string whole = CompressedText(text, format);
    for (std::size_t cut = 1; cut < whole.size(); cut += whole.size() / 13) {
      WriteFile(dir / "in", std::string_view(whole).substr(0, whole.size() - cut));
      for (const bool byPieces : {false, true}) {
        const Reading reading = ReadBack(dir / "in", byPieces);
        EXPECT_EQ(reading.error, dir / "in:" + std::to_string(reading.lines + 1) + ": the " +
                                     Name(format) +
                                     " data is cut short; reading stopped in this line")
            << "cut " << cut;
        EXPECT_TRUE(std::string_view(text).starts_with(reading.text)) << Name(format);
      }
    }
  }
}

TEST(CompressedInput, BytesAfterTheLastStream) {
  TempDir dir;
  const std::string text = ">a\nMKV\n>b\nWW\n";
  // gzip passes them over, as zlib has always read such files.
  WriteFile(dir / "in", CompressedText(text, Compression::kGzip) + "trailing");
  EXPECT_EQ(ReadBack(dir / "in", false).text, text);
  // xz takes stream padding, zero bytes in fours, and nothing else.
  WriteFile(dir / "in", CompressedText(text, Compression::kXz) + std::string(8, '\0'));
  EXPECT_EQ(ReadBack(dir / "in", false).text, text);
  const std::map<Compression, std::string> refusals = {
      {Compression::kBzip2, "corrupt bzip2 data (bytes after the end of the last stream)"},
      {Compression::kXz, "corrupt xz data (bytes after the end of the last stream)"},
      {Compression::kZstd, "corrupt zstd data (bytes after the end of the last frame)"}};
  for (const auto& [format, problem] : refusals) {
    WriteFile(dir / "in", CompressedText(text, format) + "trailing bytes, not compressed");
    const Reading reading = ReadBack(dir / "in", false);
    EXPECT_EQ(reading.error, dir / "in:5: " + problem + "; reading stopped in this line");
    EXPECT_EQ(reading.text, text) << "every line before them is read";
  }
}

// ---- FASTA records -------------------------------------------------------------------

// The records of `fasta` as "name=residues" lines, or the refusal.
std::string Records(const std::string& fasta, FastaRules rules) {
  TempDir dir;
  WriteFile(dir / "in.fa", fasta);
  InputFile input(dir / "in.fa");
  FastaRecordReader reader(input, rules);
  std::string records;
  try {
    std::string_view residues;
    while (reader.NextRecord()) {
      records += std::string(reader.name()) + "@" + std::to_string(reader.nameLine()) + "=";
      while (reader.NextResidues(residues))
        records += residues;
      records += "\n";
    }
  } catch (const InputError& error) {
    records += std::string(error.what()).substr((dir / "").size());
  }
  return records;
}

TEST(FastaRecords, EmptySequencesRefusedWhereAsked) {
  const std::string fasta = ">a\nMK\n\n>b\n\n>c\nW\n";
  EXPECT_EQ(Records(fasta, {}), "a@1=MK\nb@4=\nc@6=W\n");
  FastaRules refuse;
  refuse.refuseEmptySequences = true;
  EXPECT_EQ(Records(fasta, refuse), "a@1=MK\nb@4=in.fa:4: record 'b' has an empty sequence");
  EXPECT_EQ(Records(">a\nMK\n>last\n", refuse),
            "a@1=MK\nlast@3=in.fa:3: record 'last' has an empty sequence");
}

TEST(FastaRecords, ANameLineLongerThanTheLimit) {
  FastaRules rules;
  rules.maxNameLength = 5;
  EXPECT_EQ(Records(">abcde\r\nMK\n", rules), "abcde@1=MK\n") << "a CR is not part of the name";
  // The record before the faulty name line is complete.
  EXPECT_EQ(
      Records(">a\nMK\n>abcdef\nW\n", rules),
      "a@1=MK\nin.fa:3: a name line longer than 5 bytes (lost line ends, or not FASTA text?)");
  // A line of several pieces stops at the piece that passes the limit.
  rules.maxNameLength = InputFile::kMaxPiece;
  EXPECT_EQ(Records(">" + std::string(3 * InputFile::kMaxPiece, 'n') + "\nW\n", rules),
            "in.fa:1: a name line longer than 65536 bytes (lost line ends, or not FASTA text?)");
}

}  // namespace
