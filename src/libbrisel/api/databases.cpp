// SPDX-License-Identifier: MIT
// databases.cpp: opening and adopting databases.
#include "api/databases.h"

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
std::shared_ptr<const Record> MapChecked(std::string_view rootPath) {
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
