#pragma once

#include <cstdint>

#include "engine/ByteView.h"

namespace salvoran {

// Attribute flags.
inline constexpr uint16_t AttributeCompressed = 0x0001;
inline constexpr uint16_t AttributeEncrypted = 0x4000;
inline constexpr uint16_t AttributeSparse = 0x8000;

// The fields of an attribute's header, read from the attribute's bytes. Bytes the attribute
// lacks count as zero; views never reach past the attribute.
inline uint32_t AttributeTypeOf(ByteView attribute) { return ReadLE<uint32_t>(attribute, 0); }
bool IsNonResident(ByteView attribute);
uint16_t AttributeFlags(ByteView attribute);
uint16_t AttributeId(ByteView attribute);

// The attribute's name, UTF-16LE, cut at the attribute's end. Whether it has one at all is
// told by its length field alone, so a name that does not fit is still a name.
bool HasAttributeName(ByteView attribute);
ByteView AttributeName(ByteView attribute);

// A resident attribute's content, cut at the attribute's end.
ByteView ResidentContent(ByteView attribute);

// A non-resident attribute's run list: from its run-list offset to the attribute's end.
ByteView RunListBytes(ByteView attribute);

struct NonResidentHeader {
  uint16_t Flags = 0;
  uint64_t FirstVcn = 0;
  uint64_t LastVcn = 0;
  uint8_t CompressionUnit = 0;  // a unit holds 2^CompressionUnit clusters; 0: not compressed
  uint64_t AllocatedSize = 0;
  uint64_t DataSize = 0;
  uint64_t InitializedSize = 0;
};
NonResidentHeader ReadNonResidentHeader(ByteView attribute);

}  // namespace salvoran
