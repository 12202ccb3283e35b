// SPDX-License-Identifier: MIT
// compression.cpp: the magic bytes of the compressed formats.
#include "input/compression.h"

#include <algorithm>
#include <array>

namespace brisel {

namespace {

bool StartsWith(std::span<const unsigned char> head, std::span<const unsigned char> magic,
                std::size_t at = 0) {
  return head.size() >= at + magic.size() &&
         std::equal(magic.begin(), magic.end(), head.begin() + static_cast<std::ptrdiff_t>(at));
}

constexpr std::array<unsigned char, 2> kGzip = {0x1f, 0x8b};
constexpr std::array<unsigned char, 6> kXz = {0xfd, '7', 'z', 'X', 'Z', 0x00};
constexpr std::array<unsigned char, 4> kZstdFrame = {0x28, 0xb5, 0x2f, 0xfd};
constexpr std::array<unsigned char, 3> kZstdSkippable = {0x2a, 0x4d, 0x18};  // after 0x5?
constexpr std::array<unsigned char, 3> kBzip2 = {'B', 'Z', 'h'};
constexpr std::array<unsigned char, 6> kBzip2Block = {0x31, 0x41, 0x59, 0x26, 0x53, 0x59};
constexpr std::array<unsigned char, 6> kBzip2End = {0x17, 0x72, 0x45, 0x38, 0x50, 0x90};

bool IsBzip2(std::span<const unsigned char> head) {
  return StartsWith(head, kBzip2) && head.size() >= 4 && head[3] >= '1' && head[3] <= '9' &&
         (StartsWith(head, kBzip2Block, 4) || StartsWith(head, kBzip2End, 4));
}

}  // namespace

Compression RecognizeCompression(std::span<const unsigned char> head) {
  if (StartsWith(head, kGzip)) return Compression::kGzip;
  if (IsBzip2(head)) return Compression::kBzip2;
  if (StartsWith(head, kXz)) return Compression::kXz;
  if (StartsWith(head, kZstdFrame) ||
      (!head.empty() && (head[0] & 0xf0) == 0x50 && StartsWith(head, kZstdSkippable, 1))) {
    return Compression::kZstd;
  }
  return Compression::kNone;
}

}  // namespace brisel
