#pragma once

#include <cstdint>
#include <string>

#include "engine/ByteView.h"

namespace salvoran {

struct StandardTimes {
  uint64_t Created = 0;  // NTFS file times: 100 ns units since 1601, UTC
  uint64_t Modified = 0;
};

// The values the scan and recovery take from attributes at fixed offsets. Bytes an attribute
// lacks count as zero.
StandardTimes ReadStandardTimes(ByteView standardInformation);
std::u16string ReadFileName(ByteView fileName);
uint64_t ReadDataSize(ByteView data);

bool IsNonResident(ByteView attribute);

// A resident attribute's content, cut at the attribute's end.
ByteView ResidentContent(ByteView attribute);

// A non-resident attribute's run list: from its run-list offset to the attribute's end.
ByteView RunListBytes(ByteView attribute);

// Non-resident attribute header fields.
struct NonResidentExtent {
  uint16_t Flags = 0;
  uint64_t FirstVcn = 0;
  uint64_t LastVcn = 0;
};
NonResidentExtent ReadNonResidentExtent(ByteView attribute);

}  // namespace salvoran
