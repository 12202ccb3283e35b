// SPDX-License-Identifier: MIT
// shard_manifest.h: the manifest of a shard set, and how a set's build is
// told from another's.
//
// A sequence database's digest is a 64-bit hash (ContentDigest) of its
// records written as FASTA with one line per sequence: for each, '>', its
// name, a newline, its residues and a newline (neither holds a newline). brisel-makedb writes it as
// the stats file's fourth line, "digest <16 hex digits>", after the three counts, which is all that
// readers of the counts read; a database built before digests were written has none. The same
// records give the same digest, however they were built (at once, sharded, or from the pieces of a
// split).
//
// The manifest "<set>.shards" lists the roots of the set's shards one per
// line, in order, relative to its own directory (or absolute). Blank lines
// are passed over and a line's final carriage return is not part of it. A
// line that begins with '#' names no shard: "#build <16 hex digits>" is the
// set's build identity, the hash of its shards' digests in order
// (BuildIdentity), written by brisel-makedb before the shards' lines. Two
// builds of different records have different identities, and the identity
// of a set whose shards are not those its manifest was written for no longer
// matches their digests. A manifest without the line (written by hand, or
// before identities) names no build.
#ifndef BRISEL_SHARD_MANIFEST_H
#define BRISEL_SHARD_MANIFEST_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brisel {

inline constexpr std::string_view kShardManifestSuffix = ".shards";

// A 64-bit hash of a stream of bytes, added in pieces of any sizes: the
// value depends on the bytes and their order only. Not a cryptographic hash:
// it tells builds apart, it does not guard against forgery.
class ContentDigest {
 public:
  void Add(std::string_view bytes);
  std::uint64_t value() const;

 private:
  void Mix(std::uint64_t word);

  std::uint64_t state_ = 0x243F6A8885A308D3u;
  std::uint64_t pending_ = 0;  // the bytes of an incomplete word, little-endian
  unsigned pendingBytes_ = 0;
  std::uint64_t length_ = 0;
};

// The build identity of shards with these digests, in order.
std::uint64_t BuildIdentity(std::span<const std::uint64_t> digests);

// 16 lowercase hex digits.
std::string HexDigits(std::uint64_t value);
// Exactly 16 hex digits (either case), else nothing.
std::optional<std::uint64_t> ParseHexDigits(std::string_view text);

struct ShardManifest {
  std::vector<std::string> shards;     // as listed
  std::optional<std::uint64_t> build;  // the "#build" line's identity
};

// The manifest in `text`. A "#build" line whose value is not 16 hex digits is
// a fault, returned as ":<line>: <problem>" to follow the manifest's path; a
// manifest that lists no shard too (": lists no shard").
std::optional<std::string> ParseShardManifest(std::string_view text, ShardManifest& manifest);

// The text of a manifest (the "#build" line first when a build is given).
std::string ShardManifestText(const ShardManifest& manifest);

}  // namespace brisel

#endif  // BRISEL_SHARD_MANIFEST_H
