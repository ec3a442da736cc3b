#include "engine/ReadAheadThread.h"

namespace salvoran {

ReadAheadThread::ReadAheadThread(VolumeSource& volume) : volume_(volume), thread_([this] { Run(); }) {}

ReadAheadThread::~ReadAheadThread() {
  {
    const std::lock_guard lock(mutex_);
    ended_ = true;
  }
  changed_.notify_one();
  thread_.join();
}

void ReadAheadThread::Announce(uint64_t offset, uint64_t length) {
  {
    const std::lock_guard lock(mutex_);
    waiting_.push_back({offset, length});
  }
  changed_.notify_one();
}

void ReadAheadThread::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !waiting_.empty() || ended_; });
    if (waiting_.empty()) return;
    const Stretch stretch = waiting_.front();
    waiting_.pop_front();
    lock.unlock();
    volume_.WillRead(stretch.Offset, stretch.Length);
    lock.lock();
  }
}

}  // namespace salvoran
