#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>

#include "engine/VolumeSource.h"

namespace salvoran {

// Tells a source, on a thread of its own, of the stretches a scan will read next (WillRead). The
// hint can take a while when the device's queue is full, and the scan should not wait for it.
class ReadAheadThread {
 public:
  explicit ReadAheadThread(VolumeSource& volume);
  // Tells the source of what is still waiting, then ends.
  ~ReadAheadThread();
  ReadAheadThread(const ReadAheadThread&) = delete;
  ReadAheadThread& operator=(const ReadAheadThread&) = delete;

  void Announce(uint64_t offset, uint64_t length);

 private:
  struct Stretch {
    uint64_t Offset;
    uint64_t Length;
  };
  void Run();

  VolumeSource& volume_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Stretch> waiting_;
  bool ended_ = false;
  std::thread thread_;
};

}  // namespace salvoran
