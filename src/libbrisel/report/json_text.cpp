// SPDX-License-Identifier: MIT
// json_text.cpp: JSON strings and numbers for the report's data island.
#include "report/json_text.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <system_error>

namespace brisel {

namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendUnit(std::string& out, std::uint32_t unit) {
  const char escape[6] = {
      '\\',           'u', kHex[(unit >> 12) & 15], kHex[(unit >> 8) & 15], kHex[(unit >> 4) & 15],
      kHex[unit & 15]};
  out.append(escape, sizeof escape);
}

void AppendEscaped(std::string& out, std::uint32_t code) {
  if (code < 0x10000) {
    AppendUnit(out, code);
    return;
  }
  code -= 0x10000;
  AppendUnit(out, 0xD800 + (code >> 10));
  AppendUnit(out, 0xDC00 + (code & 0x3FF));
}

// Characters HTML calls noncharacters: U+FDD0..U+FDEF and the last two of
// every plane.
bool IsNoncharacter(std::uint32_t code) {
  return (code >= 0xFDD0 && code <= 0xFDEF) || (code & 0xFFFE) == 0xFFFE;
}

// The length of the well-formed UTF-8 character of two or more bytes at the
// start of `bytes` and its code point, or 0 when there is none there.
std::size_t DecodeMultibyte(std::string_view bytes, std::uint32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(0);
  std::size_t length;
  std::uint32_t low = 0x80, high = 0xBF;  // the bounds of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong form
    if (lead == 0xF4) high = 0x8F;  // nothing beyond U+10FFFF
  } else {
    return 0;
  }
  if (bytes.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = byte(i);
    if (next < (i == 1 ? low : 0x80) || next > (i == 1 ? high : 0xBF)) return 0;
    code = (code << 6) | (next & 0x3F);
  }
  return length;
}

template <typename... Format>
void AppendNumber(std::string& out, double value, Format... format) {
  std::array<char, 400> text;  // "%.3f" of the largest double is 313 bytes
  const std::to_chars_result result =
      std::to_chars(text.data(), text.data() + text.size(), value, format...);
  if (result.ec == std::errc()) out.append(text.data(), result.ptr);
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view bytes) {
  out.push_back('"');
  std::size_t i = 0;
  while (i < bytes.size()) {
    // A run of ASCII that needs no escape is copied at once.
    std::size_t run = i;
    while (run < bytes.size()) {
      const unsigned char c = static_cast<unsigned char>(bytes[run]);
      if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\' || c == '<') break;
      ++run;
    }
    out.append(bytes.data() + i, run - i);
    i = run;
    if (i == bytes.size()) break;

    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
      ++i;
    } else if (c < 0x80) {  // controls, DEL and '<'
      switch (c) {
        case '\n':
          out.append("\\n");
          break;
        case '\t':
          out.append("\\t");
          break;
        case '\r':
          out.append("\\r");
          break;
        default:
          AppendUnit(out, c);
      }
      ++i;
    } else {
      std::uint32_t code = 0;
      const std::size_t length = DecodeMultibyte(bytes.substr(i), code);
      if (length == 0) {
        AppendUnit(out, 0xFFFD);
        ++i;
      } else {
        if (code <= 0x9F || code == 0x2028 || code == 0x2029 || IsNoncharacter(code)) {
          AppendEscaped(out, code);
        } else {
          out.append(bytes.data() + i, length);
        }
        i += length;
      }
    }
  }
  out.push_back('"');
}

void AppendExponent2(std::string& out, double value) {
  AppendNumber(out, value, std::chars_format::scientific, 2);
}

void AppendExponent3(std::string& out, double value) {
  AppendNumber(out, value, std::chars_format::scientific, 3);
}

void AppendFixed3(std::string& out, double value) {
  AppendNumber(out, value, std::chars_format::fixed, 3);
}

void AppendUnsigned(std::string& out, std::uint64_t value) {
  char text[20];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

void AppendSigned(std::string& out, std::int64_t value) {
  char text[20];
  out.append(text, std::to_chars(text, text + sizeof text, value).ptr);
}

}  // namespace brisel
