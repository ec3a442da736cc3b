#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/DeletedFileScan.h"

namespace salvoran {

// One thread's way to turn a slice of consecutive MFT records into the files they describe. Each
// thread has its own, since each keeps caches of its own (folders, the cluster bitmap, time zones).
class SliceDecoder {
 public:
  virtual ~SliceDecoder() = default;
  // Appends the files that records [first, first + count) describe, in record order, and answers
  // how many of the records could not be read.
  virtual int32_t Decode(int32_t first, int32_t count, std::vector<FoundFile>& files) = 0;
};

// Decodes the records of a released stretch on every core, a slice at a time, while the caller
// takes the files in record order; the caller decodes slices too while it waits. Nothing outside
// a released stretch is read, so a caller that stops at a stretch's start reads nothing past it.
class ParallelRecordDecoder {
 public:
  using DecoderFactory = std::function<std::unique_ptr<SliceDecoder>()>;
  // makeDecoder is called once per thread, on that thread.
  ParallelRecordDecoder(DecoderFactory makeDecoder, int32_t sliceRecords);
  ~ParallelRecordDecoder();
  ParallelRecordDecoder(const ParallelRecordDecoder&) = delete;
  ParallelRecordDecoder& operator=(const ParallelRecordDecoder&) = delete;

  // Releases records [first, first + count), once the last stretch is over (TakeUnreadable).
  void Release(int32_t first, int32_t count);
  // The file that the record describes, or null. Waits for the record's slice, and rethrows a
  // failure of that slice at the record where it arose. Indexes must rise within a stretch.
  FoundFile* FileAt(int32_t index);
  // Finishes every slice released (a stretch is read whole once released) and answers how many
  // of their records could not be read.
  int32_t TakeUnreadable();

 private:
  struct Slice {
    int32_t First = 0;
    int32_t Count = 0;
    std::vector<FoundFile> Files;
    size_t Taken = 0;
    int32_t Unreadable = 0;
    std::exception_ptr Failure;
    int32_t FailedAt = 0;
    std::atomic<bool> Done = false;
  };
  Slice* Claim();
  void Run(SliceDecoder& decoder, Slice& slice);
  void WaitUntilDone(Slice& slice);
  void StartWorkers();
  void Work();

  DecoderFactory makeDecoder_;
  int32_t sliceRecords_;
  std::unique_ptr<SliceDecoder> ownDecoder_;
  std::deque<Slice> slices_;  // of the released stretch, in order
  size_t current_ = 0;        // the slice the caller takes files from

  std::mutex mutex_;
  std::condition_variable released_;
  std::condition_variable sliceDone_;
  size_t claimed_ = 0;  // slices_ below it are claimed
  std::atomic<size_t> unclaimed_ = 0;
  std::atomic<bool> quit_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace salvoran
