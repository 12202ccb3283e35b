// SPDX-License-Identifier: MIT
// disk_step_faults.cpp: loaded with LD_PRELOAD into brisel-makedb by the
// rebuild fault tests, it makes every call that changes what is on disk
// during a commit (fsync, fdatasync, rename, renameat, unlink, unlinkat) a
// step at which the build can be killed or slowed:
//   BRISEL_KILL_AT_STEP=N    the N-th such call (from 1) kills the process with
//                            SIGKILL instead of running, as a power cut would
//   BRISEL_STEP_DELAY_US=U   every such call first sleeps U microseconds, so
//                            that the commit takes measurable time
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

namespace {

// Everything is set up when the library is loaded, so that the calls below
// stay async-signal-safe: the builder's signal handler calls unlink.
std::atomic<long> steps{0};
long killAt = 0;
long delay = 0;
int (*nextFsync)(int);
int (*nextFdatasync)(int);
int (*nextRename)(const char*, const char*);
int (*nextRenameat)(int, const char*, int, const char*);
int (*nextUnlink)(const char*);
int (*nextUnlinkat)(int, const char*, int);

long Setting(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? 0 : std::strtol(value, nullptr, 10);
}

template <typename Function>
void Resolve(Function& function, const char* name) {
  function = reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

__attribute__((constructor)) void SetUp() {
  killAt = Setting("BRISEL_KILL_AT_STEP");
  delay = Setting("BRISEL_STEP_DELAY_US");
  Resolve(nextFsync, "fsync");
  Resolve(nextFdatasync, "fdatasync");
  Resolve(nextRename, "rename");
  Resolve(nextRenameat, "renameat");
  Resolve(nextUnlink, "unlink");
  Resolve(nextUnlinkat, "unlinkat");
}

void Step() {
  if (delay > 0) ::usleep(static_cast<useconds_t>(delay));
  if (++steps == killAt) ::kill(::getpid(), SIGKILL);
}

}  // namespace

extern "C" {

int fsync(int fd) {
  Step();
  return nextFsync(fd);
}

int fdatasync(int fd) {
  Step();
  return nextFdatasync(fd);
}

int rename(const char* from, const char* to) noexcept {
  Step();
  return nextRename(from, to);
}

int renameat(int fromDirectory, const char* from, int toDirectory, const char* to) noexcept {
  Step();
  return nextRenameat(fromDirectory, from, toDirectory, to);
}

int unlink(const char* path) noexcept {
  Step();
  return nextUnlink(path);
}

int unlinkat(int directory, const char* path, int flags) noexcept {
  Step();
  return nextUnlinkat(directory, path, flags);
}

}  // extern "C"
