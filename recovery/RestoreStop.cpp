#include "recovery/RestoreStop.h"

#include <atomic>

namespace salvoran {
namespace {

// Read and written by signal handlers: only lock-free atomics will do.
std::atomic<bool> stopRequested{false};
std::atomic<int> stopSignal{0};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

}  // namespace

void RequestRestoreStop(int signalNumber) noexcept {
  if (signalNumber != 0) {
    int none = 0;
    stopSignal.compare_exchange_strong(none, signalNumber);
  }
  stopRequested.store(true);
}

bool RestoreStopRequested() noexcept { return stopRequested.load() || stopSignal.load() != 0; }

int RestoreStopSignal() noexcept { return stopSignal.load(); }

void ClearRestoreStopRequest() noexcept { stopRequested.store(false); }

}  // namespace salvoran
