#include "engine/MftBlockReader.h"

#include <algorithm>

#include "engine/EngineError.h"
#include "engine/FileRecord.h"

namespace salvoran {

MftBlockReader::MftBlockReader(VolumeSource& volume, const VolumeGeometry& geometry, int32_t recordsPerBlock)
    : volume_(volume),
      geometry_(geometry),
      buffer_(static_cast<size_t>(recordsPerBlock) * geometry.FileRecordSize),
      state_(static_cast<size_t>(recordsPerBlock)) {}

void MftBlockReader::Read(int32_t first, int32_t count) {
  first_ = first;
  count_ = count;
  std::fill_n(state_.begin(), count, Unchecked);
  const uint64_t recordSize = geometry_.FileRecordSize;
  const uint64_t start = static_cast<uint64_t>(first) * recordSize;
  const uint64_t length = static_cast<uint64_t>(count) * recordSize;
  uint64_t covered = 0;
  geometry_.Mft.ForEachPiece(start, length, [&](uint64_t volumeByte, uint64_t pieceLength, uint64_t mftByte) {
    ReadPiece(volumeByte, pieceLength, mftByte);
    covered += pieceLength;
  });
  if (covered < length) MarkUnreadable(start + covered, length - covered);
  unreadable_ = static_cast<int32_t>(std::count(state_.begin(), state_.begin() + count, Unreadable));
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
  if (state_[static_cast<size_t>(index - first_)] == Unreadable) return {};
  return Slot(index);
}

ByteView MftBlockReader::FixedRecord(int32_t index) {
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

}  // namespace salvoran
