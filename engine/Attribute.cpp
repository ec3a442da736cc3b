#include "engine/Attribute.h"

#include <cstring>

#include "engine/AttributeHeader.h"

namespace salvoran {
namespace {

constexpr size_t FirstAttributeField = 0x14;
constexpr size_t LengthField = 0x04;
constexpr size_t HeaderSize = 8;
constexpr uint32_t MinAttributeLength = 16;
constexpr size_t NamespaceField = 0x59;

enum FileNameNamespace : uint8_t { Posix = 0, Win32 = 1, Dos = 2, Win32AndDos = 3 };

}  // namespace

AttributeWalk::AttributeWalk(ByteView record) : record_(record) {
  const bool isRecord = record.size() >= 4 && std::memcmp(record.data(), "FILE", 4) == 0;
  position_ = isRecord ? ReadLE<uint16_t>(record, FirstAttributeField) : 0;
}

ByteView AttributeWalk::Next() {
  if (!RangeFits(record_.size(), position_, HeaderSize) || ReadLE<uint32_t>(record_, position_) == AttributeListEnd) {
    return {};
  }
  const uint32_t length = ReadLE<uint32_t>(record_, position_ + LengthField);
  if (length < MinAttributeLength || !RangeFits(record_.size(), position_, length)) {
    position_ = record_.size();
    return {};
  }
  const ByteView attribute = record_.subspan(position_, length);
  position_ += length;
  return attribute;
}

bool IsLongName(ByteView fileNameAttribute) {
  const auto space = ReadLE<uint8_t>(fileNameAttribute, NamespaceField);
  return space == Posix || space == Win32 || space == Win32AndDos;
}

ByteView FindAttribute(ByteView record, uint32_t attributeType, bool preferLongName) {
  AttributeWalk walk(record);
  for (ByteView attribute = walk.Next(); !attribute.empty(); attribute = walk.Next()) {
    if (AttributeTypeOf(attribute) == attributeType &&
        !(preferLongName && attributeType == FileNameType && !IsLongName(attribute))) {
      return attribute;
    }
  }
  return {};
}

}  // namespace salvoran
