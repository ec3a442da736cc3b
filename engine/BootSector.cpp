#include "engine/BootSector.h"

#include <bit>
#include <cstring>
#include <string>

#include "engine/EngineError.h"

namespace salvoran {
namespace {

constexpr size_t SignatureOffset = 0x03;
constexpr size_t BytesPerSectorOffset = 0x0B;
constexpr size_t SectorsPerClusterOffset = 0x0D;
constexpr size_t TotalSectorsOffset = 0x28;
constexpr size_t MftClusterOffset = 0x30;
constexpr size_t MftMirrorClusterOffset = 0x38;
constexpr size_t RecordSizeCodeOffset = 0x40;
constexpr uint8_t LargestPlainClusterCode = 0x80;
constexpr uint32_t LargestClusterRecordCode = 127;

// A code above 0x80 means 2^(256 - code) sectors, which is how clusters above 64 KiB are written.
uint64_t SectorsPerClusterOf(uint8_t code) {
  if (code <= LargestPlainClusterCode) return code;
  const unsigned shift = 256u - code;
  return shift < 32 ? uint64_t{1} << shift : 0;
}

// A code below 128 counts clusters; otherwise its low byte is a negative power of two.
uint64_t FileRecordSizeOf(uint32_t code, uint32_t bytesPerCluster) {
  if (code <= LargestClusterRecordCode) return uint64_t{code} * bytesPerCluster;
  return uint64_t{1} << ((256u - code) % 32u);
}

[[noreturn]] void Refuse(const std::string& why) {
  throw EngineError("The volume's boot sector is damaged: " + why + ".");
}

}  // namespace

bool HasNtfsSignature(ByteView sector) {
  return sector.size() >= SignatureOffset + 4 &&
         std::memcmp(sector.data() + SignatureOffset, "NTFS", 4) == 0;
}

BootSector ParseBootSector(ByteView sector) {
  BootSector boot;
  boot.BytesPerSector = ReadLE<uint16_t>(sector, BytesPerSectorOffset);
  if (boot.BytesPerSector < MinBytesPerSector || boot.BytesPerSector > MaxBytesPerSector ||
      !std::has_single_bit(boot.BytesPerSector)) {
    Refuse("bytes per sector (" + std::to_string(boot.BytesPerSector) +
           ") must be a power of two from 256 to 4096");
  }
  const uint8_t clusterCode = ReadLE<uint8_t>(sector, SectorsPerClusterOffset);
  const uint64_t bytesPerCluster = SectorsPerClusterOf(clusterCode) * boot.BytesPerSector;
  if (bytesPerCluster == 0 || bytesPerCluster > MaxBytesPerCluster) {
    Refuse("sectors per cluster (code " + std::to_string(clusterCode) +
           ") give no cluster size from one sector to 2 MiB");
  }
  boot.BytesPerCluster = static_cast<uint32_t>(bytesPerCluster);
  boot.SectorsPerCluster = boot.BytesPerCluster / boot.BytesPerSector;

  const uint32_t recordCode = ReadLE<uint32_t>(sector, RecordSizeCodeOffset);
  const uint64_t recordSize = FileRecordSizeOf(recordCode, boot.BytesPerCluster);
  if (recordSize == 0 || recordSize > MaxFileRecordSize || recordSize % boot.BytesPerSector != 0) {
    Refuse("the file record size (" + std::to_string(recordSize) +
           " bytes) must be a multiple of the sector size and at most 64 KiB");
  }
  boot.FileRecordSize = static_cast<uint32_t>(recordSize);
  boot.TotalSectors = ReadLE<uint64_t>(sector, TotalSectorsOffset);
  boot.MftCluster = ReadLE<uint64_t>(sector, MftClusterOffset);
  boot.MftMirrorCluster = ReadLE<uint64_t>(sector, MftMirrorClusterOffset);
  return boot;
}

}  // namespace salvoran
