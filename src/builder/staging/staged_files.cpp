// SPDX-License-Identifier: MIT
// staged_files.cpp: temporary files renamed into place, removed on failure.
#include "staging/staged_files.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "database/database_replacement.h"
#include "staging/build_error.h"
#include "staging/replacement_journal.h"

namespace brisel {

namespace {

// The temporary files that a signal handler must remove. The handler only reads
// this table of NUL-terminated paths and calls unlink, both async-signal-safe;
// the table changes only while the cleanup signals are blocked.
const char* const* volatile signalTemporaries = nullptr;
volatile std::sig_atomic_t signalTemporaryCount = 0;

// Whether the builds of this process leave the signals to their owner.
std::atomic<bool> signalsLeftAlone{false};

bool SignalsHandled() {
  return !signalsLeftAlone.load(std::memory_order_relaxed);
}

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void RemoveTemporariesAndDie(int signalNumber) {
  for (int i = 0; i < signalTemporaryCount; ++i)
    ::unlink(signalTemporaries[i]);
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

void InstallCleanupHandlers() {
  if (!SignalsHandled()) return;
  for (int signalNumber : kCleanupSignals)
    std::signal(signalNumber, RemoveTemporariesAndDie);
}

void RestoreDefaultHandlers() {
  if (!SignalsHandled()) return;
  for (int signalNumber : kCleanupSignals)
    std::signal(signalNumber, SIG_DFL);
}

// Holds back the cleanup signals while it lives, so that a temporary file is
// never on disk without being in the table the handler reads.
class CleanupSignalsBlocked {
 public:
  CleanupSignalsBlocked() : handled_(SignalsHandled()) {
    if (!handled_) return;
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int signalNumber : kCleanupSignals)
      sigaddset(&blocked, signalNumber);
    ::sigprocmask(SIG_BLOCK, &blocked, &saved_);
  }
  ~CleanupSignalsBlocked() {
    if (handled_) ::sigprocmask(SIG_SETMASK, &saved_, nullptr);
  }
  CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
  CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

 private:
  bool handled_;
  sigset_t saved_;
};

// Points the handler at `table`, while the cleanup signals are blocked.
void PublishSignalTable(const std::vector<const char*>& table) {
  if (!SignalsHandled()) return;
  signalTemporaries = table.empty() ? nullptr : table.data();
  signalTemporaryCount = static_cast<std::sig_atomic_t>(table.size());
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

std::string Describe(const std::string& path, const char* action, int error) {
  return path + ": " + action + ": " + std::strerror(error);
}

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A final name must be free for a file: renaming over a directory would fail
// halfway through the replacement.
void CheckReplaceable(const std::string& finalPath) {
  struct stat status {};
  if (::lstat(finalPath.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
    throw BuildError(finalPath + ": is a directory, not a file of a database");
  }
}

}  // namespace

void LeaveSignalsAlone() {
  signalsLeftAlone.store(true, std::memory_order_relaxed);
}

bool PrepareRoot(const std::string& rootPath) {
  const DirectoryLock lock(DatabaseDirectory(rootPath), DirectoryLock::Mode::kExclusive);
  const bool completed = CompleteInterruptedReplacement(rootPath);
  RemoveStaleTemporaries(rootPath);
  return completed;
}

StagedFiles::StagedFiles(std::string rootPath) : roots_{std::move(rootPath)} {
  InstallCleanupHandlers();
}

void StagedFiles::AddDatabaseRoot(const std::string& rootPath) {
  if (std::find(roots_.begin(), roots_.end(), rootPath) == roots_.end()) {
    roots_.push_back(rootPath);
  }
}

StagedFiles::~StagedFiles() {
  RemoveTemporaries();
  RestoreDefaultHandlers();
}

std::string StagedFiles::Stage(const std::string& finalPath) {
  std::string temporary = finalPath + ".tmp-XXXXXX";
  const CleanupSignalsBlocked blocked;
  signalTable_.reserve(signalTable_.size() + 1);
  files_.push_back({std::move(temporary), finalPath});
  StagedFile& file = files_.back();
  const int fd = ::mkstemp(file.temporary.data());
  if (fd < 0) {
    const int error = errno;
    files_.pop_back();
    throw BuildError(Describe(finalPath, "cannot create", error));
  }
  ::close(fd);
  signalTable_.push_back(file.temporary.c_str());
  PublishSignalTable(signalTable_);
  return file.temporary;
}

void StagedFiles::Commit() {
  const mode_t mode = NewFileMode();
  for (const StagedFile& file : files_) {
    if (::chmod(file.temporary.c_str(), mode) != 0) {
      throw BuildError(Describe(file.final, "cannot set permissions", errno));
    }
    SyncToDisk(file.temporary, file.final);
  }

  Replacement replacement;
  replacement.directory = DatabaseDirectory(roots_.front());
  for (const std::string& root : roots_)
    replacement.journals.push_back(BaseName(root) + std::string(kReplacingSuffix));
  for (const StagedFile& file : files_) {
    CheckReplaceable(file.final);
    replacement.renames.push_back({BaseName(file.temporary), BaseName(file.final)});
  }
  for (const std::string& removal : removals_)
    replacement.removals.push_back(BaseName(removal));

  const DirectoryLock lock(replacement.directory, DirectoryLock::Mode::kExclusive);
  // A replacement of these roots that an interrupted build left is completed
  // first: its journal would otherwise be overwritten by this one.
  for (const std::string& root : roots_)
    CompleteInterruptedReplacement(root);

  // From the first journal on, the replacement is carried through: the cleanup
  // signals wait until it is complete, and the temporary files belong to it.
  const CleanupSignalsBlocked blocked;
  WriteJournals(replacement);
  signalTable_.clear();
  PublishSignalTable(signalTable_);
  files_.clear();
  removals_.clear();
  Complete(replacement);
}

void StagedFiles::RemoveTemporaries() noexcept {
  const CleanupSignalsBlocked blocked;
  signalTable_.clear();
  PublishSignalTable(signalTable_);
  for (const StagedFile& file : files_) {
    if (!file.temporary.empty()) ::unlink(file.temporary.c_str());
  }
  files_.clear();
}

StagedDatabase::StagedDatabase(std::string rootPath)
    : root_(std::move(rootPath)),
      owned_(std::make_unique<StagedFiles>(root_)),
      files_(owned_.get()) {}

StagedDatabase::StagedDatabase(StagedFiles& files, std::string rootPath)
    : root_(std::move(rootPath)), files_(&files) {
  files_->AddDatabaseRoot(root_);
}

}  // namespace brisel
