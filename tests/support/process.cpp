// SPDX-License-Identifier: MIT
// process.cpp: fork, exec and capture for the end-to-end tests.
#include "process.h"

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <stdexcept>

#include "temp_dir.h"

namespace brisel {

namespace {

// Everything left to read from `fd`, which is then closed.
std::string ReadAll(int fd) {
  std::string text;
  char buffer[65536];
  ssize_t got;
  while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
    text.append(buffer, got);
  ::close(fd);
  return text;
}

// Waits for `pid` and returns its exit status, or 128 + the signal that killed it.
int WaitForExit(pid_t pid) {
  int wstatus = 0;
  while (::waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
}

}  // namespace

ProcessResult RunProgram(const std::string& program, const std::string& name,
                         const std::vector<std::string>& args, const RunOptions& options) {
  TempDir capture;
  const std::string outPath = options.stdoutPath.empty() ? capture / "stdout" : options.stdoutPath;
  const std::string errPath = capture / "stderr";
  const std::string inPath = options.stdinPath.empty() ? "/dev/null" : options.stdinPath;

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(name.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);

  int terminal = -1, terminalSlave = -1;
  if (options.stderrTerminal &&
      ::openpty(&terminal, &terminalSlave, nullptr, nullptr, nullptr) != 0) {
    throw std::runtime_error("openpty failed");
  }
  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    const int in = ::open(inPath.c_str(), O_RDONLY);
    const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = options.stderrTerminal
                        ? terminalSlave
                        : ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (!options.workingDirectory.empty() && ::chdir(options.workingDirectory.c_str()) != 0) {
      ::_exit(126);
    }
    if (options.fileSizeLimit >= 0) {
      ::signal(SIGXFSZ, SIG_IGN);
      const rlimit limit{static_cast<rlim_t>(options.fileSizeLimit),
                         static_cast<rlim_t>(options.fileSizeLimit)};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ::unsetenv("POSIXLY_CORRECT");
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ProcessResult result;
  if (options.stderrTerminal) {
    // Read the terminal while the program runs, so that it never blocks on a
    // full terminal buffer; reading fails once its last writer has exited.
    ::close(terminalSlave);
    result.err = ReadAll(terminal);
  }
  result.status = WaitForExit(pid);
  if (options.stdoutPath.empty()) result.out = ReadFile(outPath);
  if (!options.stderrTerminal) result.err = ReadFile(errPath);
  return result;
}

ProcessResult RunSearch(const std::vector<std::string>& args, const RunOptions& options) {
  return RunProgram(BRISEL_SEARCH_PATH, "brisel-search", args, options);
}

ProcessResult RunMakedb(const std::vector<std::string>& args, const RunOptions& options) {
  return RunProgram(BRISEL_MAKEDB_PATH, "brisel-makedb", args, options);
}

BackgroundProgram::BackgroundProgram(const std::string& program, const std::string& name,
                                     const std::vector<std::string>& args) {
  char errTemplate[] = "/tmp/brisel-test-stderr-XXXXXX";
  const int err = ::mkstemp(errTemplate);
  if (err < 0) throw std::runtime_error("mkstemp failed");
  errPath_ = errTemplate;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(name.c_str()));
  for (const std::string& arg : args)
    argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    ::dup2(in, 0);
    ::dup2(pipeFds[1], 1);
    ::dup2(err, 2);
    ::close(pipeFds[0]);
    ::unsetenv("POSIXLY_CORRECT");
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  ::close(err);
  stdoutPipe_ = pipeFds[0];
}

BackgroundProgram::~BackgroundProgram() {
  if (!finished_) {
    Kill(SIGKILL);
    Finish();
  }
  ::unlink(errPath_.c_str());
}

void BackgroundProgram::Kill(int signalNumber) {
  ::kill(pid_, signalNumber);
}

std::string BackgroundProgram::ReadOutput(std::size_t bytes) {
  std::string out;
  char buffer[4096];
  while (out.size() < bytes) {
    const ssize_t got = ::read(stdoutPipe_, buffer, sizeof buffer);
    if (got <= 0) break;
    out.append(buffer, got);
  }
  return out;
}

void BackgroundProgram::CloseOutput() {
  if (stdoutPipe_ >= 0) ::close(stdoutPipe_);
  stdoutPipe_ = -1;
}

ProcessResult BackgroundProgram::Finish() {
  ProcessResult result;
  if (stdoutPipe_ >= 0) result.out = ReadAll(stdoutPipe_);
  stdoutPipe_ = -1;
  result.status = WaitForExit(pid_);
  finished_ = true;
  result.err = ReadFile(errPath_);
  return result;
}

}  // namespace brisel
