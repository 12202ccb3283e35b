// SPDX-License-Identifier: MIT
// Quoted user text in messages: control bytes escaped, everything else kept.
#include "base/message_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace brisel;

namespace {

TEST(MessageText, ControlBytesAreEscaped) {
  EXPECT_EQ(EscapedText("a\tb\nc\rd"), "a\\tb\\nc\\rd");
  EXPECT_EQ(EscapedText(std::string("\0\x01\x1f\x7f", 4)), "\\x00\\x01\\x1F\\x7F");
  EXPECT_EQ(EscapedText(std::string("rec\0ord", 7)), "rec\\x00ord") << "not cut at the NUL";
}

TEST(MessageText, OtherBytesAreKeptAndEscapingIsDoneOnce) {
  const std::string kept = "db/uniprot.1 \\x00 caf\xc3\xa9 ~\x80\xff";
  EXPECT_EQ(EscapedText(kept), kept);
  std::string every;
  for (int byte = 0; byte < 256; ++byte)
    every += static_cast<char>(byte);
  const std::string escaped = EscapedText(every);
  EXPECT_EQ(EscapedText(escaped), escaped);
  for (const char c : escaped) {
    const auto byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte >= 0x20 && byte != 0x7F) << static_cast<int>(byte);
  }
}

}  // namespace
