// SPDX-License-Identifier: MIT
// message_text.h: user text quoted in a one-line message.
//
// The messages of both programs quote what the user gave them: paths, option
// values, records, patterns, names. Such text may hold any byte. A newline or a
// carriage return would break the message's single line, and a NUL would cut it
// short wherever the message passes through a C string. EscapedText writes
// those bytes as escapes: tab, newline and carriage return as \t, \n and \r,
// every other byte below 0x20 and DEL (0x7F) as \xHH with two upper-case hex
// digits (NUL is \x00). Every other byte is kept as it is: the backslash itself,
// and the bytes above 0x7F, so that UTF-8 names read as written. Text without
// control bytes comes back unchanged, and escaping twice changes nothing more.
#ifndef BRISEL_MESSAGE_TEXT_H
#define BRISEL_MESSAGE_TEXT_H

#include <string>
#include <string_view>

namespace brisel {

std::string EscapedText(std::string_view text);

}  // namespace brisel

#endif  // BRISEL_MESSAGE_TEXT_H
