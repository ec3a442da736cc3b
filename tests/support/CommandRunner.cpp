#include "tests/support/CommandRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

extern char** environ;

namespace salvoran::test {

RunningCommand::RunningCommand(const std::vector<std::string>& arguments,
                               const std::vector<std::string>& extraEnvironment, ErrorOutput errorOutput) {
  // Close-on-exec: the program gets only the ends dup2 gives it, so a daemon it starts cannot hold
  // the pipes open.
  int outPipe[2], errPipe[2];
  if (::pipe2(outPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  // A terminal's two ends stand in for the pipe's: the program writes to one, the test reads the other.
  const bool opened = errorOutput == ErrorOutput::Terminal
                          ? ::openpty(&errPipe[0], &errPipe[1], nullptr, nullptr, nullptr) == 0 &&
                                ::fcntl(errPipe[0], F_SETFD, FD_CLOEXEC) == 0 &&
                                ::fcntl(errPipe[1], F_SETFD, FD_CLOEXEC) == 0
                          : ::pipe2(errPipe, O_CLOEXEC) == 0;
  if (!opened) throw std::runtime_error("cannot open the error output");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  std::vector<char*> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) environment.push_back(*entry);
  for (const std::string& entry : extraEnvironment) environment.push_back(const_cast<char*>(entry.c_str()));
  environment.push_back(nullptr);
  const int spawned = posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environment.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(outPipe[1]);
  ::close(errPipe[1]);
  outFd_ = outPipe[0];
  errFd_ = errPipe[0];
  if (spawned != 0) {
    ::close(outFd_);
    ::close(errFd_);
    throw std::runtime_error("cannot start " + arguments[0] + ": " + std::strerror(spawned));
  }
}

RunningCommand::~RunningCommand() {
  if (finished_) return;
  ::kill(pid_, SIGKILL);
  Finish();
}

CommandResult RunningCommand::Finish(int timeoutSeconds) {
  CommandResult result;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  pollfd fds[2] = {{outFd_, POLLIN, 0}, {errFd_, POLLIN, 0}};
  std::string* sinks[2] = {&result.Out, &result.Err};
  int open = 2;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.TimedOut = true;
      ::kill(pid_, SIGKILL);
      break;
    }
    if (::poll(fds, 2, static_cast<int>(left.count())) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
      char buffer[65536];
      const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
      if (got > 0) {
        sinks[i]->append(buffer, static_cast<size_t>(got));
      } else {  // end of file, or EIO from a terminal whose other end has closed
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (const pollfd& fd : fds) {
    if (fd.fd >= 0) ::close(fd.fd);
  }
  int status = 0;
  ::waitpid(pid_, &status, 0);
  finished_ = true;
  result.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

CommandResult RunCommand(const std::vector<std::string>& arguments, int timeoutSeconds, ErrorOutput errorOutput) {
  return RunningCommand(arguments, {}, errorOutput).Finish(timeoutSeconds);
}

CommandResult RunSalvoran(const std::vector<std::string>& arguments, int timeoutSeconds, ErrorOutput errorOutput) {
  std::vector<std::string> command{SALVORAN_CLI};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return RunCommand(command, timeoutSeconds, errorOutput);
}

MeasuredResult RunSalvoranMeasured(const std::vector<std::string>& arguments, int timeoutSeconds) {
  char report[] = "/tmp/salvoran-time-XXXXXX";
  const int fd = ::mkstemp(report);
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  ::close(fd);
  std::vector<std::string> command{"/usr/bin/time", "-f", "%M", "-o", report, SALVORAN_CLI};
  command.insert(command.end(), arguments.begin(), arguments.end());
  MeasuredResult result;
  static_cast<CommandResult&>(result) = RunCommand(command, timeoutSeconds);
  // The last line is the peak in KiB; a line before it tells of a signal.
  std::ifstream in(report);
  for (std::string line; std::getline(in, line);) {
    if (line.find("terminated by signal") != std::string::npos) result.Signalled = true;
    if (!line.empty() && line.find_first_not_of("0123456789") == std::string::npos) result.PeakRssKiB = std::stol(line);
  }
  ::unlink(report);
  return result;
}

std::string FileDigest(const std::string& path) {
  const CommandResult digest = RunCommand({"sha256sum", path});
  if (digest.ExitCode != 0) throw std::runtime_error("sha256sum failed on " + path);
  return digest.Out.substr(0, digest.Out.find(' '));
}

}  // namespace salvoran::test
