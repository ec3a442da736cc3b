#include "engine/MftBlockReader.h"

#include <algorithm>

#include "engine/EngineError.h"
#include "engine/FileRecord.h"

namespace salvoran {
namespace {

// What the background thread reads before handing the records over: small enough that the
// caller soon has work at a block's start, large enough that handing over costs little.
constexpr uint64_t PieceBytes = 64u << 10;
// Waking a sleeping thread can take longer than reading a piece, so each side first looks
// again for a while, giving up the processor between looks, before it sleeps.
constexpr int LooksBeforeSleep = 100;
// Blocks after the one asked for that the device is told of: from a cold disk, reads of one
// piece at a time would leave it idle between them.
constexpr int64_t BlocksAnnounced = 2;

template <typename Ready>
bool ReadySoon(Ready ready) {
  for (int look = 0; look < LooksBeforeSleep; ++look) {
    if (ready()) return true;
    std::this_thread::yield();
  }
  return false;
}

}  // namespace

MftBlockReader::MftBlockReader(VolumeSource& volume, const VolumeGeometry& geometry, int32_t recordsPerBlock,
                               Filling filling)
    : volume_(volume),
      geometry_(geometry),
      buffer_(static_cast<size_t>(recordsPerBlock) * geometry.FileRecordSize),
      state_(static_cast<size_t>(recordsPerBlock)) {
  if (filling == Filling::InBackground) filler_ = std::thread([this] { FillInBackground(); });
}

MftBlockReader::~MftBlockReader() {
  if (!filler_.joinable()) return;
  {
    const std::lock_guard lock(mutex_);
    quit_ = true;
  }
  blockAsked_.notify_one();
  filler_.join();
}

void MftBlockReader::Read(int32_t first, int32_t count) {
  if (!filler_.joinable()) {
    first_ = first;
    count_ = count;
    unreadable_ = 0;
    Fill(0, count);
    filled_ = count;
    return;
  }
  WaitForSlots(count_);
  {
    const std::lock_guard lock(mutex_);
    first_ = first;
    count_ = count;
    unreadable_ = 0;
    filled_ = 0;
    asked_ = true;
  }
  blockAsked_.notify_one();
}

void MftBlockReader::FillInBackground() {
  const int32_t slotsPerPiece = static_cast<int32_t>(std::max<uint64_t>(1, PieceBytes / geometry_.FileRecordSize));
  const auto askedOrQuit = [this] { return asked_.load() || quit_.load(); };
  std::unique_lock lock(mutex_);
  for (;;) {
    if (!askedOrQuit()) {
      lock.unlock();
      ReadySoon(askedOrQuit);
      lock.lock();
      blockAsked_.wait(lock, askedOrQuit);
    }
    if (quit_) return;
    asked_ = false;
    lock.unlock();
    AnnounceFollowingBlocks();
    lock.lock();
    for (int32_t done = 0; done < count_ && !quit_;) {
      const int32_t slots = std::min(slotsPerPiece, count_ - done);
      lock.unlock();
      try {
        Fill(done, slots);
      } catch (...) {
        lock.lock();
        failure_ = std::current_exception();
        failed_ = true;
        slotsFilled_.notify_all();
        break;
      }
      lock.lock();
      done += slots;
      filled_.store(done, std::memory_order_release);
      slotsFilled_.notify_all();
    }
  }
}

void MftBlockReader::AnnounceFollowingBlocks() {
  const uint64_t recordSize = geometry_.FileRecordSize;
  const int64_t from = int64_t{first_} + count_;
  const int64_t to = std::min<int64_t>(geometry_.RecordCount, from + BlocksAnnounced * int64_t{count_});
  if (to <= from) return;
  geometry_.Mft.ForEachPiece(static_cast<uint64_t>(from) * recordSize, static_cast<uint64_t>(to - from) * recordSize,
                             [&](uint64_t volumeByte, uint64_t pieceLength, uint64_t) {
                               volume_.WillRead(volumeByte, pieceLength);
                             });
}

void MftBlockReader::WaitForSlots(int32_t slots) {
  const auto ready = [&] { return filled_.load(std::memory_order_acquire) >= slots || failed_.load(); };
  if (filled_.load(std::memory_order_acquire) >= slots) return;
  if (!ReadySoon(ready)) {
    std::unique_lock lock(mutex_);
    slotsFilled_.wait(lock, ready);
  }
  if (failed_) {
    const std::lock_guard lock(mutex_);
    std::rethrow_exception(failure_);
  }
}

void MftBlockReader::Fill(int32_t firstSlot, int32_t slots) {
  std::fill_n(state_.begin() + firstSlot, slots, Unchecked);
  const uint64_t recordSize = geometry_.FileRecordSize;
  const uint64_t start = (static_cast<uint64_t>(first_) + static_cast<uint64_t>(firstSlot)) * recordSize;
  const uint64_t length = static_cast<uint64_t>(slots) * recordSize;
  uint64_t covered = 0;
  geometry_.Mft.ForEachPiece(start, length, [&](uint64_t volumeByte, uint64_t pieceLength, uint64_t mftByte) {
    ReadPiece(volumeByte, pieceLength, mftByte);
    covered += pieceLength;
  });
  if (covered < length) MarkUnreadable(start + covered, length - covered);
  unreadable_ += static_cast<int32_t>(
      std::count(state_.begin() + firstSlot, state_.begin() + firstSlot + slots, Unreadable));
}

void MftBlockReader::ReadPiece(uint64_t volumeByte, uint64_t length, uint64_t mftByte) {
  const uint64_t blockStart = static_cast<uint64_t>(first_) * geometry_.FileRecordSize;
  std::byte* target = buffer_.data() + (mftByte - blockStart);
  const ReadOutcome whole = volume_.ReadAt(volumeByte, {target, static_cast<size_t>(length)});
  if (whole.BytesRead == length) return;

  // Salvage what lies beyond the failure, one record-sized step at a time.
  const uint64_t recordSize = geometry_.FileRecordSize;
  const uint64_t intactEnd = (mftByte + whole.BytesRead) / recordSize * recordSize;
  uint64_t done = intactEnd > mftByte ? intactEnd - mftByte : 0;
  while (done < length) {
    const uint64_t step = std::min(recordSize - (mftByte + done) % recordSize, length - done);
    const ReadOutcome part = volume_.ReadAt(volumeByte + done, {target + done, static_cast<size_t>(step)});
    if (part.BytesRead < step) MarkUnreadable(mftByte + done, step);
    done += step;
  }
}

void MftBlockReader::MarkUnreadable(uint64_t mftByte, uint64_t length) {
  const uint64_t recordSize = geometry_.FileRecordSize;
  const uint64_t firstRecord = mftByte / recordSize;
  const uint64_t lastRecord = (mftByte + length - 1) / recordSize;
  for (uint64_t record = firstRecord; record <= lastRecord; ++record) {
    state_[static_cast<size_t>(record - static_cast<uint64_t>(first_))] = Unreadable;
  }
}

MutableByteView MftBlockReader::Slot(int32_t index) {
  const size_t slot = static_cast<size_t>(index - first_);
  return MutableByteView(buffer_).subspan(slot * geometry_.FileRecordSize, geometry_.FileRecordSize);
}

ByteView MftBlockReader::Record(int32_t index) {
  WaitForSlots(index - first_ + 1);
  if (state_[static_cast<size_t>(index - first_)] == Unreadable) return {};
  return Slot(index);
}

ByteView MftBlockReader::FixedRecord(int32_t index) {
  WaitForSlots(index - first_ + 1);
  SlotState& state = state_[static_cast<size_t>(index - first_)];
  if (state == Unchecked) {
    try {
      ApplyFixups(Slot(index));
      state = Fixed;
    } catch (const EngineError&) {
      state = Refused;  // a torn or foreign record is simply not a candidate
    }
  }
  return state == Fixed ? Slot(index) : ByteView{};
}

int32_t MftBlockReader::UnreadableInBlock() {
  WaitForSlots(count_);
  return unreadable_;
}

}  // namespace salvoran
