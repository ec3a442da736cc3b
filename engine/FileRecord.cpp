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

uint16_t RecordFlags(ByteView record) { return ReadLE<uint16_t>(record, FlagsField); }

uint16_t RecordSequence(ByteView record) { return ReadLE<uint16_t>(record, SequenceField); }

uint64_t BaseRecordIndex(ByteView record) { return RecordIndexOfReference(ReadLE<uint64_t>(record, BaseRecordField)); }

}  // namespace salvoran
