// SPDX-License-Identifier: MIT
// process.h: runs a built program and captures everything it says.
#ifndef BRISEL_TESTS_PROCESS_H
#define BRISEL_TESTS_PROCESS_H

#include <string>
#include <vector>

namespace brisel {

struct ProcessResult {
  std::string out;  // standard output, byte for byte
  std::string err;  // standard error, byte for byte
  int status = -1;  // exit status, or 128 + signal number when killed
};

struct RunOptions {
  std::string workingDirectory;  // empty: the test's own
  std::string stdinPath;         // empty: /dev/null
  std::string stdoutPath;        // empty: captured into ProcessResult::out
  bool stderrTerminal = false;   // standard error is a pseudo-terminal
  long fileSizeLimit = -1;       // RLIMIT_FSIZE in bytes (SIGXFSZ ignored); -1: none
};

// A program started in the background, its standard output a pipe that the
// caller reads when it chooses (a program that fills the pipe blocks until
// then); standard error goes to a file.
class BackgroundProgram {
 public:
  BackgroundProgram(const std::string& program, const std::string& name,
                    const std::vector<std::string>& args);
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;

  int pid() const { return pid_; }
  void Kill(int signalNumber);
  // Reads at least `bytes` of standard output (less only at its end).
  std::string ReadOutput(std::size_t bytes);
  // Closes the read end of the pipe: the program's next write fails (EPIPE).
  void CloseOutput();
  // Reads the rest of standard output and waits for the program to end.
  ProcessResult Finish();

 private:
  int pid_ = -1;
  int stdoutPipe_ = -1;
  std::string errPath_;
  bool finished_ = false;
};

// Runs `program` with argv[0] "brisel-search"-style `name` and `args`, with
// POSIXLY_CORRECT removed from the environment so that getopt behaves as it
// does for a user.
ProcessResult RunProgram(const std::string& program, const std::string& name,
                         const std::vector<std::string>& args, const RunOptions& options = {});

// brisel-search as built by this tree, run under the name "brisel-search".
ProcessResult RunSearch(const std::vector<std::string>& args, const RunOptions& options = {});

// brisel-makedb as built by this tree.
ProcessResult RunMakedb(const std::vector<std::string>& args, const RunOptions& options = {});

}  // namespace brisel

#endif  // BRISEL_TESTS_PROCESS_H
