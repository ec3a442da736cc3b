#pragma once

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
