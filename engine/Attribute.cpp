#include "engine/Attribute.h"

#include <cstring>

namespace salvoran {
namespace {

constexpr size_t FirstAttributeField = 0x14;
constexpr size_t LengthField = 0x04;
constexpr size_t HeaderSize = 8;
constexpr uint32_t MinAttributeLength = 16;
constexpr size_t NamespaceField = 0x59;

enum FileNameNamespace : uint8_t { Posix = 0, Win32 = 1, Dos = 2, Win32AndDos = 3 };

bool IsLongName(ByteView fileNameAttribute) {
  const auto space = ReadLE<uint8_t>(fileNameAttribute, NamespaceField);
  return space == Posix || space == Win32 || space == Win32AndDos;
}

}  // namespace

ByteView FindAttribute(ByteView record, uint32_t attributeType, bool preferLongName) {
  const bool isRecord = record.size() >= 4 && std::memcmp(record.data(), "FILE", 4) == 0;
  size_t position = isRecord ? ReadLE<uint16_t>(record, FirstAttributeField) : 0;
  while (RangeFits(record.size(), position, sizeof(uint32_t))) {
    const uint32_t type = ReadLE<uint32_t>(record, position);
    if (type == AttributeListEnd || !RangeFits(record.size(), position, HeaderSize)) break;
    const uint32_t length = ReadLE<uint32_t>(record, position + LengthField);
    if (length < MinAttributeLength || !RangeFits(record.size(), position, length)) break;
    const ByteView attribute = record.subspan(position, length);
    if (type == attributeType &&
        !(preferLongName && attributeType == FileNameType && !IsLongName(attribute))) {
      return attribute;
    }
    position += length;
  }
  return {};
}

}  // namespace salvoran
