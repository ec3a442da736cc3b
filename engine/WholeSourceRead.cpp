#include "engine/WholeSourceRead.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace salvoran {
namespace {

// One block being handed over while the next is read and the one after is announced.
constexpr size_t BlocksInFlight = 3;
// A read that fails is tried again in pieces of this size, then sector by sector.
constexpr uint64_t RetryPieceBytes = 64u << 10;
constexpr uint64_t RetrySectorBytes = 512;

struct Block {
  std::vector<std::byte> Bytes;
  uint64_t Offset = 0;
  size_t Length = 0;
  uint64_t Unreadable = 0;
  bool Last = false;
};

// Reads [offset, offset + buffer.size()) into buffer in steps of at most step bytes; a step that
// fails is tried again in steps of nextStep, or, at the smallest step, left as zeros. Answers how
// many bytes belong to the source: fewer than asked only where the source ends.
size_t ReadInSteps(VolumeSource& source, uint64_t offset, std::span<std::byte> buffer, uint64_t step,
                   uint64_t& unreadable) {
  size_t done = 0;
  while (done < buffer.size()) {
    const size_t length = static_cast<size_t>(std::min<uint64_t>(step, buffer.size() - done));
    const std::span<std::byte> piece = buffer.subspan(done, length);
    const ReadOutcome outcome = source.ReadAt(offset + done, piece);
    if (outcome.BytesRead == length) {
      done += length;
      continue;
    }
    if (!outcome.Failed()) return done + outcome.BytesRead;  // the source ends here
    if (step > RetrySectorBytes) {
      const uint64_t smaller = step > RetryPieceBytes ? RetryPieceBytes : RetrySectorBytes;
      const size_t got = ReadInSteps(source, offset + done, piece, smaller, unreadable);
      done += got;
      if (got < length) return done;
      continue;
    }
    std::fill(piece.begin(), piece.end(), std::byte{0});
    unreadable += length;
    done += length;
  }
  return done;
}

// Reads blocks on a thread of its own into the free buffers, in order, until the source ends or
// it is told to stop.
class BlockPipeline {
 public:
  BlockPipeline(VolumeSource& source, size_t blockBytes) : source_(source) {
    for (size_t i = 0; i < BlocksInFlight; ++i) free_.push_back(std::make_unique<Block>());
    for (auto& block : free_) block->Bytes.resize(blockBytes);
    reader_ = std::thread([this] { ReadAll(); });
  }

  ~BlockPipeline() {
    {
      const std::lock_guard lock(mutex_);
      quit_ = true;
    }
    changed_.notify_all();
    reader_.join();
  }

  // The next block in order; waits for it. Rethrows what the reading thread ran into.
  std::unique_ptr<Block> Next() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !filled_.empty() || failure_; });
    if (filled_.empty()) std::rethrow_exception(failure_);
    std::unique_ptr<Block> block = std::move(filled_.front());
    filled_.pop_front();
    return block;
  }

  void Recycle(std::unique_ptr<Block> block) {
    {
      const std::lock_guard lock(mutex_);
      free_.push_back(std::move(block));
    }
    changed_.notify_all();
  }

 private:
  void ReadAll() {
    uint64_t offset = 0;
    const uint64_t size = source_.Size();
    for (bool last = false; !last;) {
      std::unique_ptr<Block> block;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !free_.empty() || quit_; });
        if (quit_) return;
        block = std::move(free_.front());
        free_.pop_front();
      }
      try {
        std::span<std::byte> buffer(block->Bytes);
        if (size != 0) buffer = buffer.first(static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - offset)));
        block->Offset = offset;
        block->Unreadable = 0;
        block->Length = ReadInSteps(source_, offset, buffer, buffer.size(), block->Unreadable);
        offset += block->Length;
        last = block->Length < block->Bytes.size() || (size != 0 && offset >= size);
        block->Last = last;
      } catch (...) {
        const std::lock_guard lock(mutex_);
        failure_ = std::current_exception();
        changed_.notify_all();
        return;
      }
      {
        const std::lock_guard lock(mutex_);
        filled_.push_back(std::move(block));
      }
      changed_.notify_all();
    }
  }

  VolumeSource& source_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Block>> free_;
  std::deque<std::unique_ptr<Block>> filled_;
  std::exception_ptr failure_;
  bool quit_ = false;
  std::thread reader_;
};

}  // namespace

SourcePassSummary ReadWholeSource(VolumeSource& source, std::span<SourceBlockConsumer* const> consumers,
                                  const SourcePassProgress& progress) {
  SourcePassSummary summary;
  {
    BlockPipeline pipeline(source, SourceBlockBytes);
    for (bool last = false; !last;) {
      std::unique_ptr<Block> block = pipeline.Next();
      last = block->Last;
      const ByteView bytes = ByteView(block->Bytes).first(block->Length);
      for (SourceBlockConsumer* consumer : consumers) consumer->Consume(block->Offset, bytes);
      summary.BytesRead += block->Length;
      summary.UnreadableBytes += block->Unreadable;
      pipeline.Recycle(std::move(block));
      if (!last && progress && !progress(summary.BytesRead)) {
        summary.Stopped = true;
        break;
      }
    }
  }
  for (SourceBlockConsumer* consumer : consumers) consumer->Finish();
  if (!summary.Stopped && progress) progress(summary.BytesRead);
  return summary;
}

}  // namespace salvoran
