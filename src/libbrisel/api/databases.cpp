// SPDX-License-Identifier: MIT
// databases.cpp: opening and adopting databases.
#include "api/databases.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "base/error.h"
#include "database/database_check.h"
#include "database/database_paths.h"
#include "database/database_replacement.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "database/shard_manifest.h"
#include "database/stats_file.h"

namespace brisel {

namespace {

void ThrowIfFault(const std::optional<std::string>& fault) {
  if (fault) throw Error(Error::Kind::kDamaged, *fault);
}

// The mapped blocks of a database, released with the last copy; `stats`, when
// given, receives the identity of the stats file they were mapped with.
template <typename Record, void (*kMap)(std::string_view, Record&), void (*kUnmap)(Record&),
          std::optional<std::string> (*kCheck)(const Record&, std::string_view)>
std::shared_ptr<const Record> MapCheckedAt(std::string_view rootPath, FileIdentity* stats) {
  struct Mapped {
    Record blocks{};
    bool mapped = false;
    ~Mapped() {
      if (mapped) kUnmap(blocks);
    }
  };
  const auto mapped = std::make_shared<Mapped>();
  ThrowIfFault(MapUnreplaced(
      rootPath, [&] { kMap(rootPath, mapped->blocks); }, [&] { kUnmap(mapped->blocks); }, stats));
  mapped->mapped = true;
  ThrowIfFault(kCheck(mapped->blocks, rootPath));
  return {mapped, &mapped->blocks};
}

// The same; a fault's place is the database's root.
template <typename Record, void (*kMap)(std::string_view, Record&), void (*kUnmap)(Record&),
          std::optional<std::string> (*kCheck)(const Record&, std::string_view)>
std::shared_ptr<const Record> MapChecked(std::string_view rootPath, FileIdentity* stats = nullptr) {
  try {
    return MapCheckedAt<Record, kMap, kUnmap, kCheck>(rootPath, stats);
  } catch (Error& error) {
    error.FillPlace({std::string(rootPath)});
    throw;
  }
}

}  // namespace

MotifDatabase MotifDatabase::Open(std::string_view rootPath) {
  MotifDatabase database;
  database.blocks_ =
      MapChecked<MotifViews, MapMotifDatabase, UnmapMotifDatabase, CheckMotifDatabase>(rootPath);
  database.rootPath_ = rootPath;
  return database;
}

MotifDatabase MotifDatabase::InMemory(const MotifViews& blocks, std::shared_ptr<const void> owner) {
  ThrowIfFault(CheckMotifDatabase(blocks, ""));
  struct Held {
    MotifViews blocks;
    std::shared_ptr<const void> owner;
  };
  const auto held = std::make_shared<const Held>(Held{blocks, std::move(owner)});
  MotifDatabase database;
  database.blocks_ = {held, &held->blocks};
  return database;
}

namespace {

struct SavedMotifsHeader {
  char magic[8];
  std::uint32_t byteOrder;
  std::uint32_t anchors;  // 1: the anchors block follows the nine
  std::array<std::uint32_t, 3> counts;
  std::uint32_t unused;
};
constexpr char kMotifsMagic[8] = {'b', 'r', 'i', 's', 'e', 'l', 'M', '1'};
constexpr std::uint32_t kByteOrder = 0x01020304;

[[noreturn]] void DamagedMotifs(const std::string& what) {
  throw Error(Error::Kind::kDamaged, "the saved motif database is damaged: " + what);
}

}  // namespace

std::string MotifDatabase::Save() const {
  const MotifViews& db = *blocks_;
  SavedMotifsHeader header{};
  std::memcpy(header.magic, kMotifsMagic, sizeof kMotifsMagic);
  header.byteOrder = kByteOrder;
  header.anchors = db.anchors != nullptr ? 1 : 0;
  header.counts = db.counts;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  for (const MotifBlock& block : kMotifBlocks) {
    bytes.append(static_cast<const char*>(block.view.load(db)),
                 block.Length(db.counts) * block.width());
  }
  if (db.anchors != nullptr) {
    bytes.append(reinterpret_cast<const char*>(db.anchors), MotifCountOf(db));
  }
  return bytes;
}

MotifDatabase MotifDatabase::Load(std::string_view bytes) {
  SavedMotifsHeader header{};
  if (bytes.size() < sizeof header) DamagedMotifs("it is cut short");
  std::memcpy(&header, bytes.data(), sizeof header);
  if (std::memcmp(header.magic, kMotifsMagic, sizeof kMotifsMagic) != 0 || header.anchors > 1) {
    DamagedMotifs("it is not a motif database that brisel saved");
  }
  if (header.byteOrder != kByteOrder) DamagedMotifs("it was saved in another byte order");
  // Each block in memory of its own, aligned for its elements.
  struct Held {
    std::vector<std::vector<std::uint64_t>> blocks;
  };
  const auto held = std::make_shared<Held>();
  MotifViews views{};
  views.counts = header.counts;
  std::size_t at = sizeof header;
  const auto take = [&](std::uint64_t length) -> const void* {
    if (length > bytes.size() - at) DamagedMotifs("it is cut short");
    std::vector<std::uint64_t>& block = held->blocks.emplace_back(length / 8 + 1);
    std::memcpy(block.data(), bytes.data() + at, length);
    at += length;
    return block.data();
  };
  for (std::size_t b = 0; b < kMotifBlocks.size(); ++b) {
    const std::uint64_t length = kMotifBlocks[b].Length(views.counts) * kMotifBlocks[b].width();
    kMotifBlocks[b].view.store(views, take(length));
    views.blockFileBytes[b] = length;
  }
  if (header.anchors == 1) {
    views.anchors = static_cast<const std::uint8_t*>(take(views.counts[kMotifsCount]));
    views.anchorsFileBytes = views.counts[kMotifsCount];
  }
  if (at != bytes.size()) DamagedMotifs("it holds more bytes than its blocks");
  return InMemory(views, held);
}

std::uint32_t MotifDatabase::size() const {
  return MotifCountOf(*blocks_);
}

std::string_view MotifDatabase::Record(std::uint32_t m) const {
  return MotifRecord(*blocks_, m);
}

std::uint32_t MotifDatabase::Width(std::uint32_t m) const {
  return MotifWidth(*blocks_, m);
}

namespace {

// How often a shard set that changed while it was mapped is mapped again.
constexpr int kMostSetMappings = 8;

std::shared_ptr<const SequenceViews> MapSequences(std::string_view rootPath,
                                                  FileIdentity* stats = nullptr) {
  return MapChecked<SequenceViews, MapSequenceDatabase, UnmapSequenceDatabase,
                    CheckSequenceDatabase>(rootPath, stats);
}

std::string StatsPath(std::string_view rootPath) {
  return DatabaseFilePath(rootPath, kStatsSuffix);
}

// The manifest at `path`. Throws Error: kNotFound when it does not exist.
ShardManifest ReadManifest(const std::string& path) {
  const auto fail = [&](const char* action, int error) {
    return Error(error == ENOENT ? Error::Kind::kNotFound : Error::Kind::kDamaged,
                 std::string(action) + " shard manifest '" + path + "': " + std::strerror(error),
                 error);
  };
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) throw fail("cannot open", errno);
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      throw fail("cannot read", error);
    }
    if (got == 0) break;
    text.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  ShardManifest manifest;
  if (const auto fault = ParseShardManifest(text, manifest)) {
    throw Error(Error::Kind::kDamaged, path + *fault);
  }
  return manifest;
}

// The root of a shard as its manifest lists it.
std::string ShardRootPath(const std::string& manifestPath, const std::string& listed) {
  if (listed.front() == '/' || manifestPath.find('/') == std::string::npos) return listed;
  return DatabaseDirectory(manifestPath) + "/" + listed;
}

}  // namespace

SequenceDatabase SequenceDatabase::Open(std::string_view rootPath, std::uint64_t onlyShard) {
  const std::string root(rootPath);
  if (!IdentifyFile(StatsPath(root)).exists) {
    std::string manifest = root;
    if (!root.ends_with(kShardManifestSuffix)) manifest += kShardManifestSuffix;
    struct stat status {};
    if (::stat(manifest.c_str(), &status) == 0 && S_ISREG(status.st_mode)) {
      return OpenShardSet(manifest, rootPath, onlyShard);
    }
  }
  if (onlyShard != 0) {
    throw Error(Error::Kind::kUsage,
                root + ": a single database, not a shard set (a manifest <set>.shards)");
  }
  SequenceDatabase database;
  database.parts_ = std::make_shared<const std::vector<Part>>(
      std::vector<Part>{{MapSequences(rootPath), root, 0}});
  database.rootPath_ = root;
  database.size_ = SequenceCountOf(database.blocks());
  return database;
}

SequenceDatabase SequenceDatabase::OpenShardSet(const std::string& manifest,
                                                std::string_view rootPath,
                                                std::uint64_t onlyShard) {
  const std::string_view setRoot = std::string_view(manifest).substr(
      0, manifest.size() -
             (manifest.ends_with(kShardManifestSuffix) ? kShardManifestSuffix.size() : 0));
  for (int mappings = 1;; ++mappings) {
    const FileIdentity before = IdentifyFile(manifest);
    const ShardManifest listed = ReadManifest(manifest);
    if (onlyShard > listed.shards.size()) {
      throw Error(Error::Kind::kUsage, manifest + " lists " + std::to_string(listed.shards.size()) +
                                           " shards: there is no shard " +
                                           std::to_string(onlyShard));
    }
    std::vector<Part> parts;
    std::vector<std::pair<std::string, FileIdentity>> stats;  // of every shard, as read
    std::vector<std::optional<std::uint64_t>> digests;
    std::optional<Error> fault;
    try {
      std::uint64_t first = 0;
      for (std::size_t k = 1; k <= listed.shards.size(); ++k) {
        const std::string root = ShardRootPath(manifest, listed.shards[k - 1]);
        FileIdentity identity;
        std::uint32_t count = 0;
        if (onlyShard == 0 || onlyShard == k) {
          std::shared_ptr<const SequenceViews> blocks = MapSequences(root, &identity);
          count = SequenceCountOf(*blocks);
          parts.push_back({std::move(blocks), root, first});
        } else {
          // Its counts and digest, read as a search maps a database.
          StatsCounts counts{};
          ThrowIfFault(MapUnreplaced(
              root, [&] { counts = ReadStatsCounts(StatsPath(root)); }, [] {}, &identity));
          count = counts[kSequencesCount];
        }
        digests.push_back(ReadStatsDigest(StatsPath(root)));
        stats.emplace_back(StatsPath(root), identity);
        first += count;
      }
    } catch (const Error& error) {
      fault = error;
    }
    // The set is one build's if nothing changed from the manifest's reading
    // to the last shard's.
    bool changed =
        IdentifyFile(manifest) != before || ProbeReplacement(setRoot) != ReplacementState::kNone;
    for (const auto& [path, identity] : stats) {
      if (changed) break;
      changed = IdentifyFile(path) != identity;
    }
    if (changed && mappings < kMostSetMappings) {
      // A build is committing: map again once it has finished, not while it
      // renames (a half-replaced set is then refused by its journal).
      AwaitReplacement(setRoot);
      continue;
    }
    if (fault) throw *fault;
    if (changed) {
      throw Error(Error::Kind::kDamaged,
                  manifest +
                      ": the shard set kept changing while it was mapped; search it once the "
                      "build has finished");
    }
    if (listed.build) {
      std::vector<std::uint64_t> found;
      for (const auto& digest : digests) {
        if (digest) found.push_back(*digest);
      }
      if (found.size() != digests.size() || BuildIdentity(found) != *listed.build) {
        throw Error(Error::Kind::kDamaged,
                    manifest + ": its shards are not all of the build it names (build " +
                        HexDigits(*listed.build) +
                        "): a shard was rebuilt or copied on its own; build the set again");
      }
    }
    SequenceDatabase database;
    database.size_ = 0;
    for (const Part& part : parts)
      database.size_ += SequenceCountOf(*part.blocks);
    database.parts_ = std::make_shared<const std::vector<Part>>(std::move(parts));
    database.rootPath_ = rootPath;
    database.shardCount_ = listed.shards.size();
    database.build_ = listed.build;
    return database;
  }
}

void SequenceDatabase::CheckBuild(std::uint64_t build) const {
  if (!shardSet()) {
    throw Error(Error::Kind::kUsage,
                rootPath_ + ": a single database, not a shard set: --build needs a set's manifest");
  }
  if (!build_) {
    throw Error(Error::Kind::kDamaged,
                rootPath_ +
                    ": the set's manifest names no build (it was written by hand or by an older "
                    "brisel-makedb); build the set again to check builds");
  }
  if (*build_ != build) {
    throw Error(Error::Kind::kDamaged, rootPath_ + ": the set is now build " + HexDigits(*build_) +
                                           ", not build " + HexDigits(build) +
                                           ": it was rebuilt; search all of its shards again");
  }
}

std::optional<std::uint64_t> ParseBuildIdentity(std::string_view text) {
  return ParseHexDigits(text);
}

std::string BuildIdentityText(std::uint64_t build) {
  return HexDigits(build);
}

const SequenceDatabase::Part& SequenceDatabase::PartOf(std::uint64_t& s) const {
  const std::vector<Part>& parts = *parts_;
  std::uint64_t number = s + first();
  const auto after =
      std::upper_bound(parts.begin(), parts.end(), number,
                       [](std::uint64_t n, const Part& part) { return n < part.first; });
  const Part& part = *(after - 1);
  s = number - part.first;
  return part;
}

std::string_view SequenceDatabase::Name(std::uint64_t s) const {
  const SequenceViews& blocks = *PartOf(s).blocks;
  const std::uint32_t begin = blocks.nameIndices[s];
  return {blocks.names + begin, blocks.nameIndices[s + 1] - begin};
}

std::string_view SequenceDatabase::Residues(std::uint64_t s) const {
  const SequenceViews& blocks = *PartOf(s).blocks;
  const std::uint32_t begin = blocks.sequenceIndices[s];
  return {blocks.textSequences + begin, blocks.sequenceIndices[s + 1] - begin};
}

}  // namespace brisel
