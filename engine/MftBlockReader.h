#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ByteView.h"
#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// Reads consecutive MFT records in large blocks, following the MFT's runs, so that a scan costs
// a few large reads instead of one per record. A stretch that cannot be read whole is read
// again record by record, so a bad sector costs only the records it touches.
//
// In the background, a thread of its own fills each block a piece at a time while the caller
// works through the records already there, so reading and decoding overlap. It never reads
// ahead of the block asked for: a scan that stops at a block's start reads nothing past it.
// The next blocks are only announced to the source (WillRead), so a cold disk stays busy.
// The volume is then read from two threads and must allow it (SerializedVolume).
class MftBlockReader {
 public:
  enum class Filling { InPlace, InBackground };
  MftBlockReader(VolumeSource& volume, const VolumeGeometry& geometry, int32_t recordsPerBlock,
                 Filling filling = Filling::InPlace);
  ~MftBlockReader();
  MftBlockReader(const MftBlockReader&) = delete;
  MftBlockReader& operator=(const MftBlockReader&) = delete;

  // Reads records [first, first + count); count must not exceed recordsPerBlock. In the
  // background it returns once the last block is whole and the new one is under way.
  void Read(int32_t first, int32_t count);

  // True when the last block holds the record.
  bool Holds(int64_t index) const { return index >= first_ && index - first_ < count_; }
  // A record of the last block as read (or fixed, once FixedRecord has seen it), or an empty
  // view when it could not be read in full. Waits for it when it is not there yet.
  ByteView Record(int32_t index);
  // The record with its fixups applied, once; an empty view when it could not be read in full or
  // fails its check.
  ByteView FixedRecord(int32_t index);
  // Of the last block; waits for the whole of it.
  int32_t UnreadableInBlock();

 private:
  void Fill(int32_t firstSlot, int32_t slots);
  void ReadPiece(uint64_t volumeByte, uint64_t length, uint64_t mftByte);
  void MarkUnreadable(uint64_t mftByte, uint64_t length);
  MutableByteView Slot(int32_t index);
  void WaitForSlots(int32_t slots);
  void FillInBackground();
  void AnnounceFollowingBlocks();

  VolumeSource& volume_;
  const VolumeGeometry& geometry_;
  std::vector<std::byte> buffer_;
  enum SlotState : uint8_t { Unreadable, Unchecked, Fixed, Refused };
  std::vector<SlotState> state_;
  int32_t first_ = 0;
  int32_t count_ = 0;
  int32_t unreadable_ = 0;

  // Filling in the background: slots below filled_ are the caller's, the rest the thread's.
  std::mutex mutex_;
  std::condition_variable blockAsked_;
  std::condition_variable slotsFilled_;
  std::atomic<int32_t> filled_ = 0;
  std::atomic<bool> asked_ = false;
  std::atomic<bool> quit_ = false;
  std::atomic<bool> failed_ = false;
  std::exception_ptr failure_;
  std::thread filler_;
};

}  // namespace salvoran
