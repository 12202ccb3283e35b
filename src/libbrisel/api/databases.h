// SPDX-License-Identifier: MIT
// databases.h: the databases a front end searches, opened or held in memory.
//
// Part of the library API through which brisel-search, brisel-makedb and the
// Python module work (search.h is the other part; the builder adds its own).
// A MotifDatabase or SequenceDatabase shares its blocks: the read-only
// mappings of a database's files, released with the last copy, or blocks
// that a builder made in memory. Opening maps a database only when no rebuild
// is replacing it and never a mixture of two builds (database_replacement.h),
// then checks it (database_check.h): every fault is a brisel::Error, and a
// database that exists can be searched safely. The blocks stay at one address
// for their whole life; they are read-only, so any number of threads may
// search one database at once.
#ifndef BRISEL_API_DATABASES_H
#define BRISEL_API_DATABASES_H

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "database/motif_database.h"
#include "database/sequence_database.h"

namespace brisel {

class MotifDatabase {
 public:
  // Maps and checks the motif database whose files are "<rootPath>-stats" and
  // so on. Throws Error.
  static MotifDatabase Open(std::string_view rootPath);
  // Adopts blocks that `owner` holds in memory, after checking them. Throws
  // Error.
  static MotifDatabase InMemory(const MotifViews& blocks, std::shared_ptr<const void> owner);
  // The database's blocks as bytes (its counts, then each block as its file
  // holds it), for a front end that sends a database held in memory to
  // another process; Load makes a database in memory of them, checked as
  // InMemory checks, and throws Error (kDamaged) for bytes that Save did not
  // write on a machine of this byte order.
  std::string Save() const;
  static MotifDatabase Load(std::string_view bytes);

  const MotifViews& blocks() const { return *blocks_; }
  // The root path it was opened from; empty for one in memory.
  const std::string& rootPath() const { return rootPath_; }

  std::uint32_t size() const;
  std::string_view Record(std::uint32_t m) const;
  std::uint32_t Width(std::uint32_t m) const;
  double Specificity(std::uint32_t m) const { return blocks_->specificities[m]; }

 private:
  std::shared_ptr<const MotifViews> blocks_;
  std::string rootPath_;
};

// A sequence database, or a shard set searched as one database: the shards
// that its manifest lists (shard_manifest.h), in order, their sequences
// numbered on from one shard to the next.
//
// A set is mapped as one: every shard through MapUnreplaced (so a shard that
// a build is replacing, itself or with its set, is waited for or refused),
// then looked at again together with the manifest; if the manifest, a
// shard's stats file or a journal of the set changed meanwhile, the whole set
// is mapped again (a few times at most). Opened for one of its shards alone,
// the set maps that shard and reads the stats files of the others (their
// counts number its sequences, their digests check the build) in the same
// way. Once mapped, the search reads these
// files whatever happens on disk. A manifest that names its build must match
// the digests of the shards mapped: otherwise the shards are not all of one
// build and the set is refused. A manifest without a build (hand-written, or
// older) is mapped without that check.
class SequenceDatabase {
 public:
  // One database of a set (the only one, when not a set).
  struct Part {
    std::shared_ptr<const SequenceViews> blocks;
    std::string rootPath;
    std::uint64_t first;  // the number of its first sequence in the set, from 0
  };

  // Maps and checks the sequence database at `rootPath`, or the shard set
  // that `rootPath` names: a manifest "<set>.shards", or a root "<set>" that
  // has a manifest and no stats file of its own. With `onlyShard` k (from 1),
  // only shard k of the set, its sequences numbered as in the whole set.
  // Throws Error (kUsage: a shard asked of no set, or of a set without it).
  static SequenceDatabase Open(std::string_view rootPath, std::uint64_t onlyShard = 0);

  const std::string& rootPath() const { return rootPath_; }
  std::span<const Part> parts() const { return *parts_; }
  // The blocks of the first part: those of the database, when not a set.
  const SequenceViews& blocks() const { return *parts_->front().blocks; }

  // Whether it was opened as a shard set, and the number of shards the set has.
  bool shardSet() const { return shardCount_ > 0; }
  std::uint64_t shardCount() const { return shardCount_; }
  // The build identity its manifest names, if any.
  std::optional<std::uint64_t> build() const { return build_; }
  // Throws Error unless this is a set whose manifest names `build`.
  void CheckBuild(std::uint64_t build) const;

  // The number of sequences, and the number in the search of the whole set of
  // the first (0 but for one shard of a set).
  std::uint64_t size() const { return size_; }
  std::uint64_t first() const { return parts_->front().first; }
  // Sequence s, from 0 to size() - 1.
  std::string_view Name(std::uint64_t s) const;
  std::string_view Residues(std::uint64_t s) const;

 private:
  static SequenceDatabase OpenShardSet(const std::string& manifestPath, std::string_view rootPath,
                                       std::uint64_t onlyShard);
  const Part& PartOf(std::uint64_t& s) const;

  std::shared_ptr<const std::vector<Part>> parts_;
  std::string rootPath_;
  std::uint64_t size_ = 0;
  std::uint64_t shardCount_ = 0;
  std::optional<std::uint64_t> build_;
};

// A build identity as a manifest's "#build" line writes it: 16 hex digits.
std::optional<std::uint64_t> ParseBuildIdentity(std::string_view text);
std::string BuildIdentityText(std::uint64_t build);

}  // namespace brisel

#endif  // BRISEL_API_DATABASES_H
