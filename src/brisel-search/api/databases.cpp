// SPDX-License-Identifier: MIT
// databases.cpp: opening, adopting and releasing databases.
#include "api/databases.h"

#include <utility>

#include "database/database_check.h"
#include "database/database_replacement.h"
#include "database/motif_database.h"
#include "database/sequence_database.h"
#include "error.h"

namespace brisel {

namespace {

void ThrowIfFault(const std::optional<std::string>& fault) {
  if (fault) throw Error(Error::Kind::kDamaged, *fault);
}

}  // namespace

MotifDatabase::MotifDatabase() : blocks_(std::make_unique<motifMappedMemoryCDT>()) {}

MotifDatabase::MotifDatabase(MotifDatabase&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      rootPath_(std::move(other.rootPath_)),
      owner_(std::move(other.owner_)),
      mapped_(std::exchange(other.mapped_, false)) {}

MotifDatabase& MotifDatabase::operator=(MotifDatabase&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::move(other.blocks_);
    rootPath_ = std::move(other.rootPath_);
    owner_ = std::move(other.owner_);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

MotifDatabase::~MotifDatabase() {
  Release();
}

void MotifDatabase::Release() noexcept {
  if (mapped_) UnmapMotifDatabase(*blocks_);
  mapped_ = false;
}

MotifDatabase MotifDatabase::Open(std::string_view rootPath) {
  MotifDatabase database;
  motifMappedMemoryCDT& blocks = *database.blocks_;
  ThrowIfFault(MapUnreplaced(
      rootPath, [&] { MapMotifDatabase(rootPath, blocks); },
      [&] { UnmapMotifDatabase(blocks); }));
  database.mapped_ = true;
  database.rootPath_ = rootPath;
  ThrowIfFault(CheckMotifDatabase(blocks, rootPath));
  return database;
}

MotifDatabase MotifDatabase::InMemory(const motifMappedMemoryCDT& blocks,
                                      std::shared_ptr<const void> owner) {
  MotifDatabase database;
  *database.blocks_ = blocks;
  database.owner_ = std::move(owner);
  ThrowIfFault(CheckMotifDatabase(blocks, ""));
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

double MotifDatabase::Specificity(std::uint32_t m) const {
  return blocks_->specificities[m];
}

SequenceDatabase::SequenceDatabase() : blocks_(std::make_unique<sequenceMappedMemoryCDT>()) {}

SequenceDatabase::SequenceDatabase(SequenceDatabase&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      rootPath_(std::move(other.rootPath_)),
      mapped_(std::exchange(other.mapped_, false)) {}

SequenceDatabase& SequenceDatabase::operator=(SequenceDatabase&& other) noexcept {
  if (this != &other) {
    Release();
    blocks_ = std::move(other.blocks_);
    rootPath_ = std::move(other.rootPath_);
    mapped_ = std::exchange(other.mapped_, false);
  }
  return *this;
}

SequenceDatabase::~SequenceDatabase() {
  Release();
}

void SequenceDatabase::Release() noexcept {
  if (mapped_) UnmapSequenceDatabase(*blocks_);
  mapped_ = false;
}

SequenceDatabase SequenceDatabase::Open(std::string_view rootPath) {
  SequenceDatabase database;
  sequenceMappedMemoryCDT& blocks = *database.blocks_;
  ThrowIfFault(MapUnreplaced(
      rootPath, [&] { MapSequenceDatabase(rootPath, blocks); },
      [&] { UnmapSequenceDatabase(blocks); }));
  database.mapped_ = true;
  database.rootPath_ = rootPath;
  ThrowIfFault(CheckSequenceDatabase(blocks, rootPath));
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
