// SPDX-License-Identifier: MIT
// database_replacement.h: how a rebuild replaces the files of a database, as
// both programs see it.
//
// The files of a database have fixed names, so a rebuild cannot swap them all
// in one step. brisel-makedb writes every new file under a temporary name,
// then writes a journal, "<root>-replacing", listing the renames (and
// removals) that turn the old database into the new one, carries them out and
// removes the journal. While a journal exists the files may be a mixture of
// two builds; a journal is never removed before its last step is done, and the
// next build of that root completes it. The builder holds an exclusive lock
// (flock) on the database's directory from before it writes a journal until
// it has removed it, so a journal in a directory that nobody locks was left by
// an interrupted build. Within a database the stats file is renamed last.
//
// A search maps a database through MapUnreplaced: it refuses a database with a
// journal (after waiting while a build holds the lock), and compares the
// identity of the stats file before and after mapping, so that a replacement
// that ran from start to end while the blocks were being mapped is noticed
// and the database mapped again.
//
// The shards of a set, "<set>.1", "<set>.2", ..., are replaced together with
// their manifest: a sharded build writes the set's journal "<set>-replacing"
// first and each shard's own after it, and removes them in the opposite
// order. A root "<set>.<n>" is therefore also covered by the journal of
// "<set>": while that exists, the shard is being replaced (or was left half
// replaced) even when its own journal is not there yet, or no longer.
#ifndef BRISEL_DATABASE_REPLACEMENT_H
#define BRISEL_DATABASE_REPLACEMENT_H

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brisel {

inline constexpr std::string_view kReplacingSuffix = "-replacing";

// The directory that holds the files "<root><suffix>" ("." for a root without
// a slash).
std::string DatabaseDirectory(std::string_view rootPath);

// A flock on a directory, released when the lock goes out of scope. Where the
// file system cannot lock (some network file systems), the lock is taken as
// held: the journal alone then tells an interrupted build.
class DirectoryLock {
 public:
  enum class Mode { kShared, kExclusive };
  // Waits for the lock.
  DirectoryLock(const std::string& directory, Mode mode);
  // Takes the lock only if it is free at once; held() tells.
  static DirectoryLock TryShared(const std::string& directory);
  ~DirectoryLock();
  DirectoryLock(DirectoryLock&& other) noexcept : fd_(other.fd_), held_(other.held_) {
    other.fd_ = -1;
  }
  DirectoryLock& operator=(DirectoryLock&&) = delete;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;

  bool held() const { return held_; }

 private:
  DirectoryLock() = default;
  int fd_ = -1;
  bool held_ = false;
};

// What a file is, as far as telling one build's file from another's goes.
struct FileIdentity {
  bool exists = false;
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t modifiedNanoseconds = 0, changedNanoseconds = 0;
  bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentifyFile(const std::string& path);

// The root of the set that the root "<set>.<n>" (n a number) may be a shard
// of; empty for any other root.
std::string_view ShardSetRoot(std::string_view rootPath);

// The journal that covers the database at `rootPath` now: its own, else its
// set's (ShardSetRoot); empty when there is none.
std::string CoveringJournal(std::string_view rootPath);

enum class ReplacementState {
  kNone,         // no journal: the files are one build's
  kInProgress,   // a build is replacing the files now
  kInterrupted,  // a journal that no running build holds
};
// The state of the database at `rootPath`, by its own journal and its set's.
ReplacementState ProbeReplacement(std::string_view rootPath);
// Waits while a running build replaces the database at `rootPath` (at most
// the time a search waits for one) and returns the state found then.
ReplacementState AwaitReplacement(std::string_view rootPath);

// Calls `map` until it has mapped the database at `rootPath` with no
// replacement before, during or after it, calling `unmap` before each retry.
// Waits while a build is replacing the files. Returns the fault to report
// when the database was left half replaced, or keeps changing. `mapped`, when
// given, receives the identity of the stats file of the files mapped.
std::optional<std::string> MapUnreplaced(std::string_view rootPath,
                                         const std::function<void()>& map,
                                         const std::function<void()>& unmap,
                                         FileIdentity* mapped = nullptr);

}  // namespace brisel

#endif  // BRISEL_DATABASE_REPLACEMENT_H
