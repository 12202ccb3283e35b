// SPDX-License-Identifier: MIT
// interruptible.h: long work that Ctrl-C can stop, without the GIL.
//
// Python runs its signal handlers (SIGINT raises KeyboardInterrupt) only on
// the main thread, between bytecodes. So a search runs on a thread of its own
// while the calling thread waits without the GIL, and every kSignalPoll
// takes the GIL to run the handlers: an exception they raise raises the
// work's cancel flag, and once the work has ended it is raised in place of
// the work's own outcome. The searches look at the flag between sequences,
// so Ctrl-C ends a search well within a second.
#ifndef BRISEL_PYTHON_INTERRUPTIBLE_H
#define BRISEL_PYTHON_INTERRUPTIBLE_H

#include <atomic>
#include <chrono>
#include <functional>

namespace brisel::python {

inline constexpr std::chrono::milliseconds kSignalPoll{50};

// Called with the GIL held; releases it while `work` runs. Rethrows what
// `work` threw, or throws nanobind::python_error for a signal's exception.
void RunInterruptible(const std::function<void()>& work, std::atomic<bool>& cancel);

// Waits, without the GIL, until `ready` (called under no lock of ours) is
// true, running the signal handlers every kSignalPoll; throws
// nanobind::python_error, `ready` not yet true, when a handler raises.
// Called with the GIL held.
void WaitInterruptibly(const std::function<bool(std::chrono::milliseconds)>& ready);

}  // namespace brisel::python

#endif  // BRISEL_PYTHON_INTERRUPTIBLE_H
