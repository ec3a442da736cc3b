#include "engine/AttributeHeader.h"

#include <algorithm>

namespace salvoran {
namespace {

constexpr size_t NonResidentFlagField = 0x08;
constexpr size_t NameLengthField = 0x09;
constexpr size_t NameOffsetField = 0x0A;
constexpr size_t FlagsField = 0x0C;
constexpr size_t IdField = 0x0E;
constexpr size_t ResidentLengthField = 0x10;
constexpr size_t ResidentOffsetField = 0x14;
constexpr size_t FirstVcnField = 0x10;
constexpr size_t LastVcnField = 0x18;
constexpr size_t RunListOffsetField = 0x20;
constexpr size_t CompressionUnitField = 0x22;
constexpr size_t AllocatedSizeField = 0x28;
constexpr size_t DataSizeField = 0x30;
constexpr size_t InitializedSizeField = 0x38;
constexpr size_t NameUnitSize = 2;

// The bytes from offset on, at most length of them; nothing when offset lies at or past the end.
ByteView Slice(ByteView attribute, size_t offset, uint64_t length) {
  if (offset >= attribute.size()) return {};
  return attribute.subspan(offset, static_cast<size_t>(std::min<uint64_t>(length, attribute.size() - offset)));
}

}  // namespace

bool IsNonResident(ByteView attribute) { return ReadLE<uint8_t>(attribute, NonResidentFlagField) == 1; }

uint16_t AttributeFlags(ByteView attribute) { return ReadLE<uint16_t>(attribute, FlagsField); }

uint16_t AttributeId(ByteView attribute) { return ReadLE<uint16_t>(attribute, IdField); }

bool HasAttributeName(ByteView attribute) { return ReadLE<uint8_t>(attribute, NameLengthField) != 0; }

ByteView AttributeName(ByteView attribute) {
  return Slice(attribute, ReadLE<uint16_t>(attribute, NameOffsetField),
               uint64_t{ReadLE<uint8_t>(attribute, NameLengthField)} * NameUnitSize);
}

ByteView ResidentContent(ByteView attribute) {
  return Slice(attribute, ReadLE<uint16_t>(attribute, ResidentOffsetField),
               ReadLE<uint32_t>(attribute, ResidentLengthField));
}

ByteView RunListBytes(ByteView attribute) {
  return Slice(attribute, ReadLE<uint16_t>(attribute, RunListOffsetField), attribute.size());
}

NonResidentHeader ReadNonResidentHeader(ByteView attribute) {
  return {ReadLE<uint16_t>(attribute, FlagsField),          ReadLE<uint64_t>(attribute, FirstVcnField),
          ReadLE<uint64_t>(attribute, LastVcnField),        ReadLE<uint8_t>(attribute, CompressionUnitField),
          ReadLE<uint64_t>(attribute, AllocatedSizeField), ReadLE<uint64_t>(attribute, DataSizeField),
          ReadLE<uint64_t>(attribute, InitializedSizeField)};
}

}  // namespace salvoran
