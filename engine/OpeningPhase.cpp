#include "engine/OpeningPhase.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <string>
#include <vector>

#include "support/Diagnostics.h"
#include "engine/Attribute.h"
#include "engine/AttributeValues.h"
#include "engine/BootSector.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/RawVolume.h"
#include "engine/RunList.h"
#include "engine/SystemError.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr uint16_t CompressedFlag = 0x0001;
constexpr uint16_t EncryptedFlag = 0x4000;
constexpr uint16_t SparseFlag = 0x8000;

BootSector ReadBootSector(VolumeSource& volume) {
  std::array<std::byte, BootSectorSize> sector{};
  const ReadOutcome outcome = volume.ReadAt(0, sector);
  if (outcome.BytesRead < sector.size()) {
    // A volume that simply ends early has no error code of its own.
    throw EngineError(std::string(messages::ReadDriveFailed) +
                      SystemErrorText(outcome.Failed() ? outcome.ErrorCode : ENODATA));
  }
  if (!HasNtfsSignature(sector)) throw EngineError(messages::NotNtfs);
  return ParseBootSector(sector);
}

std::vector<std::byte> ReadFirstRecord(VolumeSource& volume, const BootSector& boot, int64_t& mftOffset) {
  uint64_t offset = 0;
  if (__builtin_mul_overflow(boot.MftCluster, uint64_t{boot.BytesPerCluster}, &offset) ||
      offset > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
    throw EngineError(std::string(messages::ReadMftFailed) + std::to_string(EINVAL), "MFT cluster beyond any volume");
  }
  mftOffset = static_cast<int64_t>(offset);
  std::vector<std::byte> record(boot.FileRecordSize);
  const ReadOutcome outcome = volume.ReadAt(offset, record);
  if (outcome.Failed()) throw EngineError(std::string(messages::ReadMftFailed) + std::to_string(outcome.ErrorCode));
  try {
    ApplyFixups(record, boot.BytesPerSector);
  } catch (const EngineError& error) {
    throw EngineError(messages::InvalidMftRecord, error.what());
  }
  return record;
}

}  // namespace

std::unique_ptr<VolumeSource> OpenVolumeToScan(const std::string& drivePath) {
  OpenResult opened = OpenRawVolume(drivePath);
  if (!opened.Volume) throw EngineError(std::string(messages::OpenToScanFailed) + SystemErrorText(opened.ErrorCode));
  return std::move(opened.Volume);
}

void ReadVolumeGeometry(VolumeSource& volume, VolumeGeometry& geometry) {
  const BootSector boot = ReadBootSector(volume);
  geometry.BytesPerSector = boot.BytesPerSector;
  geometry.SectorsPerCluster = boot.SectorsPerCluster;
  geometry.BytesPerCluster = boot.BytesPerCluster;
  geometry.FileRecordSize = boot.FileRecordSize;
  // Clusters become byte offsets; a sector count no volume can have must not let them wrap.
  geometry.TotalClusters = std::min<uint64_t>(boot.TotalSectors / boot.SectorsPerCluster,
                                              std::numeric_limits<int64_t>::max() / boot.BytesPerCluster);
  DebugTrace("File Record:" + std::to_string(geometry.FileRecordSize));

  const std::vector<std::byte> record = ReadFirstRecord(volume, boot, geometry.MftOffset);
  const ByteView data = FindAttribute(record, DataType, false);
  if (data.empty() || !IsNonResident(data)) {
    throw EngineError(messages::MftWithoutRuns);
  }
  const NonResidentExtent extent = ReadNonResidentExtent(data);
  if (extent.Flags == SparseFlag || extent.Flags == EncryptedFlag || extent.Flags == CompressedFlag) {
    throw EngineError(messages::UnsupportedMft);
  }
  if (extent.LastVcn < extent.FirstVcn || extent.LastVcn - extent.FirstVcn >= geometry.TotalClusters) {
    throw EngineError(messages::InvalidMftRecord, "MFT VCN range outside the volume");
  }
  geometry.MftClusterCount = static_cast<int64_t>(extent.LastVcn - extent.FirstVcn + 1);

  try {
    geometry.Mft = MftMap(DecodeRunList(RunListBytes(data), geometry.TotalClusters), geometry.BytesPerCluster);
  } catch (const EngineError& error) {
    throw EngineError(messages::InvalidMftRecord, error.Detail());
  }
  const uint64_t mftBytes = static_cast<uint64_t>(geometry.MftClusterCount) * geometry.BytesPerCluster;
  const uint64_t recordCount = mftBytes / geometry.FileRecordSize;
  if (geometry.Mft.CoveredBytes() < mftBytes ||
      recordCount > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    throw EngineError(messages::InvalidMftRecord, "MFT runs do not cover its VCN range");
  }
  geometry.MftOffset = static_cast<int64_t>(geometry.Mft.Extents().front().VolumeByte);
  geometry.RecordCount = static_cast<int32_t>(recordCount);
  DebugTrace("Total Recouds:" + std::to_string(geometry.RecordCount));
}

}  // namespace salvoran
