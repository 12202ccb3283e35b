// SPDX-License-Identifier: MIT
// databases.cpp: opening and adopting databases.
#include "api/databases.h"

#include <cstring>
#include <vector>

#include "base/error.h"
#include "database/database_check.h"
#include "database/database_replacement.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"

namespace brisel {

namespace {

void ThrowIfFault(const std::optional<std::string>& fault) {
  if (fault) throw Error(Error::Kind::kDamaged, *fault);
}

// The mapped blocks of a database, released with the last copy.
template <typename Record, void (*kMap)(std::string_view, Record&), void (*kUnmap)(Record&),
          std::optional<std::string> (*kCheck)(const Record&, std::string_view)>
std::shared_ptr<const Record> MapCheckedAt(std::string_view rootPath) {
  struct Mapped {
    Record blocks{};
    bool mapped = false;
    ~Mapped() {
      if (mapped) kUnmap(blocks);
    }
  };
  const auto mapped = std::make_shared<Mapped>();
  ThrowIfFault(MapUnreplaced(
      rootPath, [&] { kMap(rootPath, mapped->blocks); }, [&] { kUnmap(mapped->blocks); }));
  mapped->mapped = true;
  ThrowIfFault(kCheck(mapped->blocks, rootPath));
  return {mapped, &mapped->blocks};
}

// The same; a fault's place is the database's root.
template <typename Record, void (*kMap)(std::string_view, Record&), void (*kUnmap)(Record&),
          std::optional<std::string> (*kCheck)(const Record&, std::string_view)>
std::shared_ptr<const Record> MapChecked(std::string_view rootPath) {
  try {
    return MapCheckedAt<Record, kMap, kUnmap, kCheck>(rootPath);
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

SequenceDatabase SequenceDatabase::Open(std::string_view rootPath) {
  SequenceDatabase database;
  database.blocks_ =
      MapChecked<SequenceViews, MapSequenceDatabase, UnmapSequenceDatabase, CheckSequenceDatabase>(
          rootPath);
  database.rootPath_ = rootPath;
  return database;
}

std::uint32_t SequenceDatabase::size() const {
  return SequenceCountOf(*blocks_);
}

std::string_view SequenceDatabase::Name(std::uint32_t s) const {
  const std::uint32_t begin = blocks_->nameIndices[s];
  return {blocks_->names + begin, blocks_->nameIndices[s + 1] - begin};
}

std::string_view SequenceDatabase::Residues(std::uint32_t s) const {
  const std::uint32_t begin = blocks_->sequenceIndices[s];
  return {blocks_->textSequences + begin, blocks_->sequenceIndices[s + 1] - begin};
}

}  // namespace brisel
