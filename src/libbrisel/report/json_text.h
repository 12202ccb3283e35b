// SPDX-License-Identifier: MIT
// json_text.h: the pieces of JSON text the report writes, safe to place
// inside an HTML <script> element.
//
// AppendJsonString writes any bytes as one JSON string, quotes included:
//  - valid UTF-8 is copied as it is, except for the characters that an HTML
//    parser reports or that could end the script element: '<' (so neither
//    "</script" nor "<!--" can appear), C0 and C1 controls, DEL, U+2028,
//    U+2029 and Unicode noncharacters are written as \uXXXX escapes (a
//    surrogate pair beyond the BMP), '"' and '\' as \" and \\;
//  - each byte that does not start a well-formed UTF-8 character (a stray
//    continuation, an overlong form, a surrogate, a value beyond U+10FFFF, a
//    truncated sequence) becomes U+FFFD, written as \ufffd.
// So the output is ASCII apart from copied well-formed characters, and any
// input gives text that JSON.parse reads and an HTML5 parser accepts.
//
// The number functions write exactly what printf writes in the "C" locale
// for the named conversion (std::to_chars, which no locale changes).
#ifndef BRISEL_REPORT_JSON_TEXT_H
#define BRISEL_REPORT_JSON_TEXT_H

#include <cstdint>
#include <string>
#include <string_view>

namespace brisel {

void AppendJsonString(std::string& out, std::string_view bytes);

// "%.2e" (E: 3.71e-05), "%.3e" (specificity: 1.112e-07), "%.3f" (P: 1.000).
void AppendExponent2(std::string& out, double value);
void AppendExponent3(std::string& out, double value);
void AppendFixed3(std::string& out, double value);
void AppendUnsigned(std::string& out, std::uint64_t value);
void AppendSigned(std::string& out, std::int64_t value);

}  // namespace brisel

#endif  // BRISEL_REPORT_JSON_TEXT_H
