#include "recovery/StopSignals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

#include "recovery/RestoreStop.h"
#include "recovery/UnfinishedFiles.h"

namespace salvoran {
namespace {

constexpr int StopSignalNumbers[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int SignalExitBase = 128;
constexpr char ForcedStopLine[] = "\nStopped at once; the file being written was removed.\n";

std::atomic<int> wakeDescriptor{-1};

// Async-signal-safe calls only.
void OnStopSignal(int signalNumber) {
  const int savedErrno = errno;
  if (RestoreStopSignal() != 0) {
    RemoveUnfinishedFiles();
    [[maybe_unused]] const ssize_t ignored = ::write(STDERR_FILENO, ForcedStopLine, sizeof ForcedStopLine - 1);
    ::_exit(SignalExitBase + signalNumber);
  }
  RequestRestoreStop(signalNumber);
  if (const int fd = wakeDescriptor.load(); fd >= 0) {
    const char byte = static_cast<char>(signalNumber);
    [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
  }
  errno = savedErrno;
}

}  // namespace

void InstallStopSignals(int wakeFd) {
  wakeDescriptor.store(wakeFd);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  // One handler at a time: a second signal always finds the first one's request in place.
  sigemptyset(&action.sa_mask);
  for (const int signalNumber : StopSignalNumbers) sigaddset(&action.sa_mask, signalNumber);
  // Interrupted calls resume: the copy looks at the request between chunks, and output being
  // printed must not be cut short.
  action.sa_flags = SA_RESTART;
  for (const int signalNumber : StopSignalNumbers) ::sigaction(signalNumber, &action, nullptr);
}

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace salvoran
