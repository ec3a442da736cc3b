#pragma once

#include <cstdint>

#include "engine/ByteView.h"

namespace salvoran {

inline constexpr uint32_t StandardInformationType = 0x10;
inline constexpr uint32_t AttributeListType = 0x20;
inline constexpr uint32_t FileNameType = 0x30;
inline constexpr uint32_t DataType = 0x80;
inline constexpr uint32_t AttributeListEnd = 0xFFFFFFFF;

// The attributes of a record in record order. The walk never leaves the record: the end
// marker, or an attribute that does not fit, ends it. A buffer that does not begin with "FILE"
// is walked from its first byte.
class AttributeWalk {
 public:
  explicit AttributeWalk(ByteView record);
  // The next attribute's bytes, exactly as long as its length field, or an empty view at the end.
  ByteView Next();

 private:
  ByteView record_;
  size_t position_;
};

// True for a $FILE_NAME in a namespace that holds a long name (POSIX, Win32, Win32 and DOS).
bool IsLongName(ByteView fileNameAttribute);

// The bytes of the first attribute of the given type in record order, or an empty view. With
// preferLongName a $FILE_NAME in the DOS-only (or an unknown) namespace is passed over for a
// later one.
ByteView FindAttribute(ByteView record, uint32_t attributeType, bool preferLongName);

}  // namespace salvoran
