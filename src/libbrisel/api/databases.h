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
#include <string>
#include <string_view>

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

class SequenceDatabase {
 public:
  // Maps and checks the sequence database at `rootPath`. Throws Error.
  static SequenceDatabase Open(std::string_view rootPath);

  const SequenceViews& blocks() const { return *blocks_; }
  const std::string& rootPath() const { return rootPath_; }

  std::uint32_t size() const;
  std::string_view Name(std::uint32_t s) const;
  std::string_view Residues(std::uint32_t s) const;

 private:
  std::shared_ptr<const SequenceViews> blocks_;
  std::string rootPath_;
};

}  // namespace brisel

#endif  // BRISEL_API_DATABASES_H
