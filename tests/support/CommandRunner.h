#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace salvoran::test {

struct CommandResult {
  int ExitCode = -1;  // -1 when the command did not exit by itself (killed, timed out)
  bool TimedOut = false;
  std::string Out;
  std::string Err;
};

enum class ErrorOutput {
  Pipe,
  Terminal  // a pseudo-terminal, as when a person runs the program
};

// A program started with arguments (no shell) and left running, its output going to pipes, so
// that a test can signal it; extraEnvironment holds "NAME=value" entries added to this process's.
class RunningCommand {
 public:
  explicit RunningCommand(const std::vector<std::string>& arguments,
                          const std::vector<std::string>& extraEnvironment = {},
                          ErrorOutput errorOutput = ErrorOutput::Pipe);
  ~RunningCommand();
  RunningCommand(const RunningCommand&) = delete;
  RunningCommand& operator=(const RunningCommand&) = delete;

  pid_t Pid() const { return pid_; }
  // Collects the output until the program ends; kills it after the timeout.
  CommandResult Finish(int timeoutSeconds = 120);

 private:
  pid_t pid_ = -1;
  int outFd_ = -1;
  int errFd_ = -1;
  bool finished_ = false;
};

// Runs a program with arguments (no shell), collecting its output; kills it after the timeout.
CommandResult RunCommand(const std::vector<std::string>& arguments, int timeoutSeconds = 120,
                         ErrorOutput errorOutput = ErrorOutput::Pipe);

// The `salvoran` command line built with the tests.
CommandResult RunSalvoran(const std::vector<std::string>& arguments, int timeoutSeconds = 120,
                          ErrorOutput errorOutput = ErrorOutput::Pipe);

struct MeasuredResult : CommandResult {
  long PeakRssKiB = -1;  // the command's peak resident memory, -1 when unknown
  bool Signalled = false;
};

// The `salvoran` command line run under /usr/bin/time, which reports its peak resident memory.
MeasuredResult RunSalvoranMeasured(const std::vector<std::string>& arguments, int timeoutSeconds = 120);

// SHA-256 of a file, as hex, for checking that a source was never written.
std::string FileDigest(const std::string& path);

}  // namespace salvoran::test
