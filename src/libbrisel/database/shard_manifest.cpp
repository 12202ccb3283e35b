// SPDX-License-Identifier: MIT
// shard_manifest.cpp: digests, build identities and the manifest's lines.
#include "database/shard_manifest.h"

#include <bit>
#include <cstring>

namespace brisel {

namespace {

constexpr std::string_view kBuildLine = "#build ";

// The final mix of a 64-bit value (every bit of the input reaches every bit
// of the output).
std::uint64_t Avalanche(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xFF51AFD7ED558CCDu;
  x ^= x >> 33;
  x *= 0xC4CEB9FE1A85EC53u;
  x ^= x >> 33;
  return x;
}

std::uint64_t LittleEndianWord(const char* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::big) word = __builtin_bswap64(word);
  return word;
}

}  // namespace

void ContentDigest::Mix(std::uint64_t word) {
  state_ = (state_ ^ word) * 0x9E3779B97F4A7C15u;
  state_ ^= state_ >> 29;
}

void ContentDigest::Add(std::string_view bytes) {
  length_ += bytes.size();
  std::size_t i = 0;
  for (; pendingBytes_ != 0 && i < bytes.size(); ++i) {
    pending_ |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * pendingBytes_);
    if (++pendingBytes_ == 8) {
      Mix(pending_);
      pending_ = 0;
      pendingBytes_ = 0;
    }
  }
  for (; i + 8 <= bytes.size(); i += 8)
    Mix(LittleEndianWord(bytes.data() + i));
  for (; i < bytes.size(); ++i) {
    pending_ |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * pendingBytes_);
    ++pendingBytes_;
  }
}

std::uint64_t ContentDigest::value() const {
  ContentDigest end = *this;
  if (end.pendingBytes_ != 0) end.Mix(end.pending_);
  end.Mix(length_);
  return Avalanche(end.state_);
}

std::uint64_t BuildIdentity(std::span<const std::uint64_t> digests) {
  ContentDigest identity;
  for (const std::uint64_t digest : digests) {
    char bytes[8];
    for (int b = 0; b < 8; ++b)
      bytes[b] = static_cast<char>(digest >> (8 * b));
    identity.Add({bytes, sizeof bytes});
  }
  return identity.value();
}

std::string HexDigits(std::uint64_t value) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4)
    text[static_cast<std::size_t>(i)] = kDigits[value & 15];
  return text;
}

std::optional<std::uint64_t> ParseHexDigits(std::string_view text) {
  if (text.size() != 16) return std::nullopt;
  std::uint64_t value = 0;
  for (const char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value << 4 | static_cast<std::uint64_t>(digit);
  }
  return value;
}

std::optional<std::string> ParseShardManifest(std::string_view text, ShardManifest& manifest) {
  manifest = {};
  std::size_t number = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    if (line.front() != '#') {
      manifest.shards.emplace_back(line);
      continue;
    }
    if (!line.starts_with(kBuildLine) || manifest.build) continue;
    manifest.build = ParseHexDigits(line.substr(kBuildLine.size()));
    if (!manifest.build) {
      return ":" + std::to_string(number) + ": the build identity is not 16 hex digits";
    }
  }
  if (manifest.shards.empty()) return std::string(": lists no shard");
  return std::nullopt;
}

std::string ShardManifestText(const ShardManifest& manifest) {
  std::string text;
  if (manifest.build) text += std::string(kBuildLine) + HexDigits(*manifest.build) + "\n";
  for (const std::string& shard : manifest.shards)
    text += shard + "\n";
  return text;
}

}  // namespace brisel
