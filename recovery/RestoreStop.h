#pragma once

#include <exception>

namespace salvoran {

// A request that the restore under way stop: the copy being written is removed and no further
// file is started. One for the whole process, because the signals that ask for it are; the
// desktop program asks too when its window closes.

// Thrown out of a restore that was asked to stop, unwinding through the unfinished file, which
// removes itself.
class RestoreStopped : public std::exception {
 public:
  const char* what() const noexcept override { return "the restore was stopped"; }
};

// Safe to call from a signal handler. signalNumber is the signal that asks, or 0.
void RequestRestoreStop(int signalNumber = 0) noexcept;
bool RestoreStopRequested() noexcept;
// The first signal that asked for a stop, or 0.
int RestoreStopSignal() noexcept;
// Forgets a request made without a signal (a window's Cancel or Close) before a new restore;
// a signal's request stays, as the process is on its way out.
void ClearRestoreStopRequest() noexcept;

}  // namespace salvoran
