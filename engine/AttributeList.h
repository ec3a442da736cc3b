#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteView.h"

namespace salvoran {

// One entry of an $ATTRIBUTE_LIST: which record holds an attribute (or one piece of a
// non-resident attribute, from FirstVcn on).
struct AttributeListEntry {
  uint32_t Type = 0;
  uint64_t FirstVcn = 0;
  uint64_t RecordIndex = 0;  // MFT index, without the sequence number
  uint16_t AttributeId = 0;
  ByteView Name;  // UTF-16LE, inside the list's bytes
};

// The entries of an attribute list's content, in order. The walk ends at the first entry that
// is too short for its fields, runs past the content or whose name runs past the entry.
std::vector<AttributeListEntry> ParseAttributeList(ByteView content);

}  // namespace salvoran
