#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteView.h"
#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// Reads consecutive MFT records in large blocks, following the MFT's runs, so that a scan costs
// a few large reads instead of one per record. A stretch that cannot be read whole is read
// again record by record, so a bad sector costs only the records it touches.
class MftBlockReader {
 public:
  MftBlockReader(VolumeSource& volume, const VolumeGeometry& geometry, int32_t recordsPerBlock);
  MftBlockReader(const MftBlockReader&) = delete;
  MftBlockReader& operator=(const MftBlockReader&) = delete;

  // Reads records [first, first + count); count must not exceed recordsPerBlock.
  void Read(int32_t first, int32_t count);

  // True when the last block holds the record.
  bool Holds(int64_t index) const { return index >= first_ && index - first_ < count_; }
  // A record of the last block as read (or fixed, once FixedRecord has seen it), or an empty
  // view when it could not be read in full.
  ByteView Record(int32_t index);
  // The record with its fixups applied, once; an empty view when it could not be read in full or
  // fails its check.
  ByteView FixedRecord(int32_t index);
  // Of the last block.
  int32_t UnreadableInBlock() const { return unreadable_; }

 private:
  void ReadPiece(uint64_t volumeByte, uint64_t length, uint64_t mftByte);
  void MarkUnreadable(uint64_t mftByte, uint64_t length);
  MutableByteView Slot(int32_t index);

  VolumeSource& volume_;
  const VolumeGeometry& geometry_;
  std::vector<std::byte> buffer_;
  enum SlotState : uint8_t { Unreadable, Unchecked, Fixed, Refused };
  std::vector<SlotState> state_;
  int32_t first_ = 0;
  int32_t count_ = 0;
  int32_t unreadable_ = 0;
};

}  // namespace salvoran
