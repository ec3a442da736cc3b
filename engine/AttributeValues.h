#pragma once

#include <cstdint>
#include <string>

#include "engine/AttributeHeader.h"
#include "engine/ByteView.h"

namespace salvoran {

struct StandardTimes {
  uint64_t Created = 0;  // NTFS file times: 100 ns units since 1601, UTC
  uint64_t Modified = 0;
  uint64_t MftModified = 0;  // when the file's record last changed
  uint64_t Accessed = 0;
};

// The values the scan and recovery take from attributes at fixed offsets. Bytes an attribute
// lacks count as zero.
StandardTimes ReadStandardTimes(ByteView standardInformation);
std::u16string ReadFileName(ByteView fileName);
// The file reference of the folder that holds the name.
uint64_t ReadParentReference(ByteView fileName);
uint64_t ReadDataSize(ByteView data);

// The file attribute bits of $STANDARD_INFORMATION (read-only, hidden, ..., encrypted).
uint32_t ReadFileAttributeBits(ByteView standardInformation);
inline constexpr uint32_t FileAttributeEncrypted = 0x4000;

}  // namespace salvoran
