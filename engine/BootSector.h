#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/ByteView.h"

namespace salvoran {

inline constexpr size_t BootSectorSize = 512;
inline constexpr uint32_t MinBytesPerSector = 256;
inline constexpr uint32_t MaxBytesPerSector = 4096;
inline constexpr uint32_t MaxBytesPerCluster = 2u << 20;
inline constexpr uint32_t MaxFileRecordSize = 64u << 10;

// The layout an NTFS boot sector describes, checked so that later arithmetic cannot divide by
// zero or overflow.
struct BootSector {
  uint16_t BytesPerSector = 0;
  uint32_t SectorsPerCluster = 0;
  uint32_t BytesPerCluster = 0;
  uint32_t FileRecordSize = 0;
  uint64_t TotalSectors = 0;
  uint64_t MftCluster = 0;
  uint64_t MftMirrorCluster = 0;  // $MFTMirr: copies of the MFT's first records
};

// Bytes 3 to 6 are "NTFS", letter case included.
bool HasNtfsSignature(ByteView sector);

// Reads the geometry of a sector that carries the NTFS signature. Throws EngineError when the
// geometry is one no NTFS volume can have.
BootSector ParseBootSector(ByteView sector);

}  // namespace salvoran
