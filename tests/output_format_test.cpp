// SPDX-License-Identifier: MIT
// The escaping of the tsv and gff3 fields, byte by byte against the rules
// written out independently: every one of the 256 byte values, alone and
// between plain text, and the cut at the first NUL byte.
#include "output/output_formats.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using namespace brisel;

namespace {

std::string Percent(unsigned char byte) {
  char text[4];
  std::snprintf(text, sizeof text, "%%%02X", byte);
  return text;
}

std::string ExpectedTsv(unsigned char byte) {
  switch (byte) {
    case '\t':
      return "\\t";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    case '\\':
      return "\\\\";
    default:
      return std::string(1, static_cast<char>(byte));
  }
}

std::string ExpectedGff3Value(unsigned char byte) {
  const bool reserved = byte == '%' || byte == ';' || byte == '=' || byte == '&' || byte == ',';
  if (reserved || byte < 0x20 || byte >= 0x7F) return Percent(byte);
  return std::string(1, static_cast<char>(byte));
}

std::string ExpectedSeqidByte(unsigned char byte) {
  const std::string allowed =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789.:^*$@!+_?|-";
  if (byte != 0 && allowed.find(static_cast<char>(byte)) != std::string::npos)
    return std::string(1, static_cast<char>(byte));
  return Percent(byte);
}

template <typename Append>
std::string Escaped(Append append, std::string_view text) {
  std::string out;
  append(out, text);
  return out;
}

TEST(OutputFormat, EveryByteIsEscapedAsItsFormatRequires) {
  for (int value = 1; value < 256; ++value) {
    const auto byte = static_cast<unsigned char>(value);
    const std::string text = "ab" + std::string(1, static_cast<char>(byte)) + "cd";
    SCOPED_TRACE(value);
    EXPECT_EQ(Escaped(AppendTsvField, text), "ab" + ExpectedTsv(byte) + "cd");
    EXPECT_EQ(Escaped(AppendGff3Value, text), "ab" + ExpectedGff3Value(byte) + "cd");
    const bool white = byte == ' ' || (byte >= '\t' && byte <= '\r');
    EXPECT_EQ(Escaped(AppendGff3Seqid, text), white ? "ab" : "ab" + ExpectedSeqidByte(byte) + "cd");
  }
}

TEST(OutputFormat, FieldsEndAtTheFirstNulAndNamesLoseTheirFastaMark) {
  const std::string withNul("a\tb\0c\td", 7);
  EXPECT_EQ(Escaped(AppendTsvField, withNul), "a\\tb");
  EXPECT_EQ(Escaped(AppendGff3Value, withNul), "a%09b");
  EXPECT_EQ(Escaped(AppendGff3Seqid, ""), "sequence");
  EXPECT_EQ(Escaped(AppendGff3Seqid, " leading"), "sequence");
  EXPECT_EQ(PlainName(">sp|P1 desc", NameKind::kFastaLine), "sp|P1 desc");
  EXPECT_EQ(PlainName(">x", NameKind::kDatabase), ">x");
  EXPECT_EQ(PlainName("x", NameKind::kNone), "");
  EXPECT_EQ(FirstWord("PS00016 RGD"), "PS00016");
}

}  // namespace
