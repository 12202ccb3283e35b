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

std::atomic<long> steps{0};

long Setting(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? 0 : std::strtol(value, nullptr, 10);
}

void Step() {
  static const long killAt = Setting("BRISEL_KILL_AT_STEP");
  static const long delay = Setting("BRISEL_STEP_DELAY_US");
  if (delay > 0) ::usleep(static_cast<useconds_t>(delay));
  if (++steps == killAt) ::kill(::getpid(), SIGKILL);
}

template <typename Function>
Function Next(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int fsync(int fd) {
  Step();
  static const auto next = Next<int (*)(int)>("fsync");
  return next(fd);
}

int fdatasync(int fd) {
  Step();
  static const auto next = Next<int (*)(int)>("fdatasync");
  return next(fd);
}

int rename(const char* from, const char* to) noexcept {
  Step();
  static const auto next = Next<int (*)(const char*, const char*)>("rename");
  return next(from, to);
}

int renameat(int fromDirectory, const char* from, int toDirectory, const char* to) noexcept {
  Step();
  static const auto next = Next<int (*)(int, const char*, int, const char*)>("renameat");
  return next(fromDirectory, from, toDirectory, to);
}

int unlink(const char* path) noexcept {
  Step();
  static const auto next = Next<int (*)(const char*)>("unlink");
  return next(path);
}

int unlinkat(int directory, const char* path, int flags) noexcept {
  Step();
  static const auto next = Next<int (*)(int, const char*, int)>("unlinkat");
  return next(directory, path, flags);
}

}  // extern "C"
