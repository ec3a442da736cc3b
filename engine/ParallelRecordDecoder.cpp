#include "engine/ParallelRecordDecoder.h"

#include <algorithm>
#include <climits>

namespace salvoran {
namespace {

// Waking a sleeping thread can take longer than decoding a slice, so a thread first looks again
// for a while before it sleeps. It pauses between looks rather than giving up the processor: a
// call to the kernel for each look cost a tenth of the scan's time.
constexpr int LooksBeforeSleep = 4000;

void PauseBriefly() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#else
  std::this_thread::yield();
#endif
}

template <typename Ready>
bool ReadySoon(Ready ready) {
  for (int look = 0; look < LooksBeforeSleep; ++look) {
    if (ready()) return true;
    PauseBriefly();
  }
  return false;
}

// The caller decodes too, so one thread fewer than the cores; at least one, so that reading
// overlaps decoding even on one core. Each thread keeps caches of its own, and beyond eight the
// caller, handing the files over one by one, sets the pace anyway.
constexpr size_t MaxWorkers = 7;

size_t WorkerCount() {
  const unsigned cores = std::thread::hardware_concurrency();
  return std::min<size_t>(cores > 1 ? cores - 1 : 1, MaxWorkers);
}

}  // namespace

ParallelRecordDecoder::ParallelRecordDecoder(DecoderFactory makeDecoder, int32_t sliceRecords)
    : makeDecoder_(std::move(makeDecoder)), sliceRecords_(sliceRecords), ownDecoder_(makeDecoder_()) {}

ParallelRecordDecoder::~ParallelRecordDecoder() {
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  released_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void ParallelRecordDecoder::Release(int32_t first, int32_t count) {
  {
    const std::lock_guard lock(mutex_);
    slices_.clear();
    current_ = 0;
    claimed_ = 0;
    for (int32_t done = 0; done < count; done += sliceRecords_) {
      Slice& slice = slices_.emplace_back();
      slice.First = first + done;
      slice.Count = std::min(sliceRecords_, count - done);
    }
    unclaimed_ = slices_.size();
  }
  // A stretch of one slice (a small MFT) is decoded by the caller alone.
  if (slices_.size() > 1 && workers_.empty()) StartWorkers();
  released_.notify_all();
}

void ParallelRecordDecoder::StartWorkers() {
  const size_t count = std::min(WorkerCount(), slices_.size() - 1);
  for (size_t i = 0; i < count; ++i) workers_.emplace_back([this] { Work(); });
}

void ParallelRecordDecoder::Work() {
  std::unique_ptr<SliceDecoder> decoder;
  try {
    decoder = makeDecoder_();
  } catch (...) {
    return;  // the others, the caller among them, decode without this thread
  }
  const auto workOrQuit = [this] { return unclaimed_.load() > 0 || quit_.load(); };
  for (;;) {
    if (!workOrQuit()) ReadySoon(workOrQuit);
    Slice* slice = nullptr;
    {
      std::unique_lock lock(mutex_);
      released_.wait(lock, [this] { return claimed_ < slices_.size() || quit_.load(); });
      if (quit_) return;
      slice = &slices_[claimed_++];
      --unclaimed_;
    }
    Run(*decoder, *slice);
  }
}

ParallelRecordDecoder::Slice* ParallelRecordDecoder::Claim() {
  if (unclaimed_.load() == 0) return nullptr;
  const std::lock_guard lock(mutex_);
  if (claimed_ == slices_.size()) return nullptr;
  --unclaimed_;
  return &slices_[claimed_++];
}

void ParallelRecordDecoder::Run(SliceDecoder& decoder, Slice& slice) {
  try {
    slice.Unreadable = decoder.Decode(slice.First, slice.Count, slice.Files);
  } catch (...) {
    slice.Failure = std::current_exception();
    slice.FailedAt = slice.Files.empty() ? slice.First : slice.Files.back().RecordIndex + 1;
  }
  {
    const std::lock_guard lock(mutex_);
    slice.Done.store(true, std::memory_order_release);
  }
  sliceDone_.notify_all();
}

void ParallelRecordDecoder::WaitUntilDone(Slice& slice) {
  const auto done = [&slice] { return slice.Done.load(std::memory_order_acquire); };
  while (!done()) {
    // Rather than wait, decode a later slice that no one has taken.
    if (Slice* other = Claim()) {
      Run(*ownDecoder_, *other);
      continue;
    }
    if (ReadySoon(done)) return;
    std::unique_lock lock(mutex_);
    sliceDone_.wait(lock, done);
  }
}

FoundFile* ParallelRecordDecoder::FileAt(int32_t index) {
  while (index >= slices_[current_].First + slices_[current_].Count) ++current_;
  Slice& slice = slices_[current_];
  WaitUntilDone(slice);
  if (slice.Failure && index >= slice.FailedAt) std::rethrow_exception(slice.Failure);
  if (slice.Taken == slice.Files.size() || slice.Files[slice.Taken].RecordIndex != index) return nullptr;
  return &slice.Files[slice.Taken++];
}

int32_t ParallelRecordDecoder::TakeUnreadable() {
  int32_t unreadable = 0;
  for (Slice& slice : slices_) {
    WaitUntilDone(slice);
    unreadable += slice.Unreadable;
    slice.Unreadable = 0;
  }
  return unreadable;
}

}  // namespace salvoran
