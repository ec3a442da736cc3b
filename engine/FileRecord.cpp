#include "engine/FileRecord.h"

#include <cstring>

#include "engine/EngineError.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr size_t UpdateSequenceOffsetField = 0x04;
constexpr size_t UpdateSequenceCountField = 0x06;
constexpr size_t SequenceField = 0x10;
constexpr size_t FlagsField = 0x16;
constexpr size_t BaseRecordField = 0x20;
constexpr size_t UpdateSequenceEntrySize = 2;
constexpr size_t FirstAttributeField = 0x14;
constexpr size_t BytesInUseField = 0x18;
constexpr size_t BytesAllocatedField = 0x1C;
constexpr size_t RecordNumberOffset = 0x2C;
constexpr size_t FirstUpdateSequenceOffset = 0x28;
// The update sequence of a record that carries its own number starts after the number.
constexpr size_t NumberedUpdateSequenceOffset = 0x30;
constexpr uint32_t MinClaimedRecordSize = 512;
constexpr uint32_t MaxClaimedRecordSize = 64u << 10;
constexpr uint32_t AttributeAlignment = 8;
constexpr uint32_t EndMarkerSize = 4;

}  // namespace

void ApplyFixups(MutableByteView record) {
  if (record.size() < 4 || std::memcmp(record.data(), "FILE", 4) != 0) {
    throw EngineError(messages::BadRecordSignature);
  }
  const uint16_t arrayOffset = ReadLE<uint16_t>(record, UpdateSequenceOffsetField);
  const uint16_t entryCount = ReadLE<uint16_t>(record, UpdateSequenceCountField);
  if (entryCount <= 1) return;

  // The array and every stride it protects must lie inside the record.
  const uint64_t strides = entryCount - 1u;
  if (!RangeFits(record.size(), arrayOffset, uint64_t{entryCount} * UpdateSequenceEntrySize) ||
      strides * UpdateSequenceStride > record.size()) {
    throw EngineError(messages::BadRecordFixup, "update-sequence array outside the record");
  }
  const std::byte sequenceLow = record[arrayOffset];
  const std::byte sequenceHigh = record[arrayOffset + 1];
  for (uint64_t i = 1; i <= strides; ++i) {
    const size_t strideEnd = static_cast<size_t>(i * UpdateSequenceStride);
    // One matching byte is enough; only a stride whose both bytes differ is torn.
    if (record[strideEnd - 2] != sequenceLow && record[strideEnd - 1] != sequenceHigh) {
      throw EngineError(messages::BadRecordFixup, "torn stride " + std::to_string(i));
    }
    const size_t saved = arrayOffset + UpdateSequenceEntrySize * i;
    record[strideEnd - 2] = record[saved];
    record[strideEnd - 1] = record[saved + 1];
  }
}

std::optional<uint32_t> ClaimedRecordSize(ByteView record) {
  if (record.size() < BytesAllocatedField + 4 || std::memcmp(record.data(), "FILE", 4) != 0) return std::nullopt;
  const uint32_t arrayOffset = ReadLE<uint16_t>(record, UpdateSequenceOffsetField);
  const uint32_t entryCount = ReadLE<uint16_t>(record, UpdateSequenceCountField);
  const uint32_t firstAttribute = ReadLE<uint16_t>(record, FirstAttributeField);
  const uint32_t inUse = ReadLE<uint32_t>(record, BytesInUseField);
  const uint32_t allocated = ReadLE<uint32_t>(record, BytesAllocatedField);
  if (entryCount < 2) return std::nullopt;
  const uint32_t size = (entryCount - 1) * UpdateSequenceStride;
  const bool sane = size >= MinClaimedRecordSize && size <= MaxClaimedRecordSize && (size & (size - 1)) == 0 &&
                    allocated == size && arrayOffset >= FirstUpdateSequenceOffset && arrayOffset % 2 == 0 &&
                    arrayOffset + UpdateSequenceEntrySize * entryCount <= firstAttribute &&
                    firstAttribute % AttributeAlignment == 0 && firstAttribute + EndMarkerSize <= inUse &&
                    inUse <= size;
  if (!sane) return std::nullopt;
  return size;
}

std::optional<uint32_t> RecordNumberField(ByteView record) {
  if (ReadLE<uint16_t>(record, UpdateSequenceOffsetField) < NumberedUpdateSequenceOffset) return std::nullopt;
  return ReadLE<uint32_t>(record, RecordNumberOffset);
}

uint16_t RecordFlags(ByteView record) { return ReadLE<uint16_t>(record, FlagsField); }

uint16_t RecordSequence(ByteView record) { return ReadLE<uint16_t>(record, SequenceField); }

uint64_t BaseRecordIndex(ByteView record) { return RecordIndexOfReference(ReadLE<uint64_t>(record, BaseRecordField)); }

}  // namespace salvoran
