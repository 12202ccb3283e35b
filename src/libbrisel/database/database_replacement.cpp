// SPDX-License-Identifier: MIT
// database_replacement.cpp: the journal's name, the directory lock, and a
// mapping that never returns a mixture of two builds.
#include "database/database_replacement.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "database/database_paths.h"

namespace brisel {

namespace {

// How long a search waits for a build that is replacing the files, and how
// often it maps again a database that changed under it.
constexpr std::chrono::milliseconds kPollInterval{20};
constexpr std::chrono::seconds kLongestWait{60};
constexpr int kMostMappings = 8;

int OpenDirectory(const std::string& directory) {
  return ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

bool LockUnsupported(int error) {
  return error == EBADF || error == ENOLCK || error == EOPNOTSUPP || error == EINVAL;
}

std::string JournalPath(std::string_view rootPath) {
  std::string path(rootPath);
  path += kReplacingSuffix;
  return path;
}

}  // namespace

std::string_view ShardSetRoot(std::string_view rootPath) {
  const std::size_t dot = rootPath.rfind('.');
  if (dot == std::string_view::npos || dot == 0 || dot + 1 == rootPath.size()) return {};
  if (rootPath[dot - 1] == '/') return {};
  for (std::size_t i = dot + 1; i < rootPath.size(); ++i) {
    if (rootPath[i] < '0' || rootPath[i] > '9') return {};
  }
  return rootPath.substr(0, dot);
}

std::string CoveringJournal(std::string_view rootPath) {
  std::string own = JournalPath(rootPath);
  if (IdentifyFile(own).exists) return own;
  const std::string_view set = ShardSetRoot(rootPath);
  if (!set.empty()) {
    std::string setJournal = JournalPath(set);
    if (IdentifyFile(setJournal).exists) return setJournal;
  }
  return {};
}

std::string DatabaseDirectory(std::string_view rootPath) {
  // The files are "<root><suffix>" and no suffix holds a slash.
  const std::size_t slash = rootPath.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(rootPath.substr(0, slash));
}

DirectoryLock::DirectoryLock(const std::string& directory, Mode mode) {
  fd_ = OpenDirectory(directory);
  if (fd_ < 0) {
    held_ = true;  // nothing to lock with: the journal alone decides
    return;
  }
  const int operation = mode == Mode::kExclusive ? LOCK_EX : LOCK_SH;
  while (::flock(fd_, operation) != 0) {
    if (errno == EINTR) continue;
    break;  // unsupported: taken as held
  }
  held_ = true;
}

DirectoryLock DirectoryLock::TryShared(const std::string& directory) {
  DirectoryLock lock;
  lock.fd_ = OpenDirectory(directory);
  if (lock.fd_ < 0) {
    lock.held_ = true;
    return lock;
  }
  while (::flock(lock.fd_, LOCK_SH | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    lock.held_ = LockUnsupported(errno);
    return lock;
  }
  lock.held_ = true;
  return lock;
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the flock
}

FileIdentity IdentifyFile(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return {};
  FileIdentity identity;
  identity.exists = true;
  identity.device = static_cast<std::uint64_t>(status.st_dev);
  identity.inode = static_cast<std::uint64_t>(status.st_ino);
  identity.size = static_cast<std::uint64_t>(status.st_size);
  identity.modifiedNanoseconds =
      static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
  identity.changedNanoseconds =
      static_cast<std::int64_t>(status.st_ctim.tv_sec) * 1000000000 + status.st_ctim.tv_nsec;
  return identity;
}

ReplacementState ProbeReplacement(std::string_view rootPath) {
  if (CoveringJournal(rootPath).empty()) return ReplacementState::kNone;
  // A shard's set lives in the shard's directory: one lock serves both.
  const DirectoryLock lock = DirectoryLock::TryShared(DatabaseDirectory(rootPath));
  if (!lock.held()) return ReplacementState::kInProgress;
  // The build may have finished between the two looks.
  return CoveringJournal(rootPath).empty() ? ReplacementState::kNone
                                           : ReplacementState::kInterrupted;
}

ReplacementState AwaitReplacement(std::string_view rootPath) {
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  ReplacementState state = ProbeReplacement(rootPath);
  while (state == ReplacementState::kInProgress && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
    state = ProbeReplacement(rootPath);
  }
  return state;
}

std::optional<std::string> MapUnreplaced(std::string_view rootPath,
                                         const std::function<void()>& map,
                                         const std::function<void()>& unmap, FileIdentity* mapped) {
  const std::string stats = DatabaseFilePath(rootPath, kStatsSuffix);
  const auto deadline = std::chrono::steady_clock::now() + kLongestWait;
  // The journal named in a fault, and the root whose build completes it.
  const auto journal = [&] {
    std::string found = CoveringJournal(rootPath);
    return found.empty() ? JournalPath(rootPath) : found;
  };
  for (int mappings = 0;;) {
    switch (ProbeReplacement(rootPath)) {
      case ReplacementState::kInterrupted: {
        const std::string found = journal();
        const std::string_view root =
            std::string_view(found).substr(0, found.size() - kReplacingSuffix.size());
        return found +
               ": an interrupted build left this database half replaced; rerun "
               "brisel-makedb for " +
               std::string(root) + " to complete it";
      }
      case ReplacementState::kInProgress:
        if (std::chrono::steady_clock::now() > deadline) {
          return journal() +
                 ": a build is still replacing this database; search it once the "
                 "build has finished";
        }
        std::this_thread::sleep_for(kPollInterval);
        continue;
      case ReplacementState::kNone:
        break;
    }
    const FileIdentity before = IdentifyFile(stats);
    map();
    ++mappings;
    if (ProbeReplacement(rootPath) == ReplacementState::kNone && IdentifyFile(stats) == before) {
      if (mapped != nullptr) *mapped = before;
      return std::nullopt;
    }
    unmap();
    if (mappings == kMostMappings) {
      return std::string(rootPath) +
             ": the database kept changing while it was mapped; search it once the build has "
             "finished";
    }
  }
}

}  // namespace brisel
