#include "engine/AttributeList.h"

#include "engine/FileRecord.h"

namespace salvoran {
namespace {

constexpr size_t TypeField = 0x00;
constexpr size_t LengthField = 0x04;
constexpr size_t NameLengthField = 0x06;
constexpr size_t NameOffsetField = 0x07;
constexpr size_t FirstVcnField = 0x08;
constexpr size_t ReferenceField = 0x10;
constexpr size_t AttributeIdField = 0x18;
constexpr size_t MinEntryLength = 0x1A;
constexpr size_t NameUnitSize = 2;

}  // namespace

std::vector<AttributeListEntry> ParseAttributeList(ByteView content) {
  std::vector<AttributeListEntry> entries;
  size_t position = 0;
  while (RangeFits(content.size(), position, MinEntryLength)) {
    const uint16_t length = ReadLE<uint16_t>(content, position + LengthField);
    if (length < MinEntryLength || !RangeFits(content.size(), position, length)) break;
    const ByteView entry = content.subspan(position, length);
    const size_t nameOffset = ReadLE<uint8_t>(entry, NameOffsetField);
    const size_t nameBytes = ReadLE<uint8_t>(entry, NameLengthField) * NameUnitSize;
    if (!RangeFits(entry.size(), nameOffset, nameBytes)) break;
    entries.push_back({ReadLE<uint32_t>(entry, TypeField), ReadLE<uint64_t>(entry, FirstVcnField),
                       RecordIndexOfReference(ReadLE<uint64_t>(entry, ReferenceField)),
                       ReadLE<uint16_t>(entry, AttributeIdField), entry.subspan(nameOffset, nameBytes)});
    position += length;
  }
  return entries;
}

}  // namespace salvoran
