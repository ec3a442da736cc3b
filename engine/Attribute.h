#pragma once

#include <cstdint>

#include "engine/ByteView.h"

namespace salvoran {

inline constexpr uint32_t StandardInformationType = 0x10;
inline constexpr uint32_t FileNameType = 0x30;
inline constexpr uint32_t DataType = 0x80;
inline constexpr uint32_t AttributeListEnd = 0xFFFFFFFF;

// The bytes of the first attribute of the given type in record order, or an empty view. With
// preferLongName a $FILE_NAME in the DOS-only (or an unknown) namespace is passed over for a
// later one. The walk never leaves the record: an attribute that does not fit ends it.
ByteView FindAttribute(ByteView record, uint32_t attributeType, bool preferLongName);

}  // namespace salvoran
