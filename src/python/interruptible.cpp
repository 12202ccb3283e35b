// SPDX-License-Identifier: MIT
// interruptible.cpp: the work's thread and the waiting caller.
#include "interruptible.h"

#include <nanobind/nanobind.h>

#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

namespace nb = nanobind;

namespace brisel::python {

namespace {

// Runs the signal handlers; true when one raised (the error is set).
bool SignalRaised() {
  nb::gil_scoped_acquire gil;
  return PyErr_CheckSignals() != 0;
}

}  // namespace

void WaitInterruptibly(const std::function<bool(std::chrono::milliseconds)>& ready) {
  bool raised = false;
  {
    nb::gil_scoped_release released;
    while (!ready(kSignalPoll)) {
      if (SignalRaised()) {
        raised = true;
        break;
      }
    }
  }
  if (raised) throw nb::python_error();
}

void RunInterruptible(const std::function<void()>& work, std::atomic<bool>& cancel) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::exception_ptr failure;
  bool interrupted = false;
  {
    nb::gil_scoped_release released;
    std::thread worker([&] {
      try {
        work();
      } catch (...) {
        failure = std::current_exception();
      }
      const std::lock_guard lock(mutex);
      done = true;
      ended.notify_all();
    });
    std::unique_lock lock(mutex);
    while (!ended.wait_for(lock, kSignalPoll, [&] { return done; })) {
      if (interrupted) continue;
      lock.unlock();
      interrupted = SignalRaised();
      if (interrupted) cancel.store(true);
      lock.lock();
    }
    lock.unlock();
    worker.join();
  }
  // The handler's exception outranks the work's, which the cancel caused.
  if (interrupted) throw nb::python_error();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace brisel::python
