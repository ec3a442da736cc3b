#include "engine/OpeningPhase.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/AttributeHeader.h"
#include "engine/BootSector.h"
#include "engine/DataExtents.h"
#include "engine/EngineError.h"
#include "engine/FileAttributes.h"
#include "engine/FileRecord.h"
#include "engine/SystemError.h"
#include "engine/VolumeRecordFetcher.h"
#include "engine/VolumeRepair.h"
#include "support/Diagnostics.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr uint64_t MftRecordIndex = 0;

BootSector ReadPrimaryBootSector(VolumeSource& volume) {
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

// The boot sector, or its backup when it cannot be read or is no sound NTFS one; where neither
// serves, the boot sector's own failure.
BootSector ReadBootSector(VolumeSource& volume, uint8_t& repairs) {
  try {
    return ReadPrimaryBootSector(volume);
  } catch (const EngineError&) {
    const std::optional<BootSector> backup = ReadBackupBootSector(volume);
    if (!backup) throw;
    repairs |= RepairedFromBackupBootSector;
    return *backup;
  }
}

std::vector<std::byte> ReadOwnFirstRecord(VolumeSource& volume, const BootSector& boot, int64_t& mftOffset) {
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
    ApplyFixups(record);
  } catch (const EngineError& error) {
    throw EngineError(messages::InvalidMftRecord, error.what());
  }
  return record;
}

// Record 0, or the MFT mirror's copy of it when it cannot be read or fails its check; where
// neither serves, record 0's own failure.
std::vector<std::byte> ReadFirstRecord(VolumeSource& volume, const BootSector& boot, int64_t& mftOffset,
                                       uint8_t& repairs) {
  try {
    return ReadOwnFirstRecord(volume, boot, mftOffset);
  } catch (const EngineError&) {
    std::optional<std::vector<std::byte>> copy = ReadMirroredRecord(volume, boot, MftRecordIndex);
    if (!copy) throw;
    repairs |= RepairedFromMftMirror;
    return std::move(*copy);
  }
}

// The pieces of $MFT's data that join from VCN 0 on: all of them, or those before the first
// that is missing.
std::vector<ByteView> JoinedPrefix(const DataStream& data) {
  std::vector<ByteView> prefix;
  uint64_t nextVcn = 0;
  for (const ByteView piece : data.Pieces) {
    const NonResidentHeader header = ReadNonResidentHeader(piece);
    if (!IsNonResident(piece) || header.FirstVcn != nextVcn) break;
    prefix.push_back(piece);
    nextVcn = header.LastVcn + 1;
  }
  return prefix;
}

// Fetches $MFT's extension records through the MFT map, first mapping the pieces of $MFT's data
// gathered so far that continue it: NTFS puts each extension record in clusters an earlier piece
// maps, so one pass over the attribute list maps the whole MFT and reads each record once.
class GrowingMftFetcher : public VolumeRecordFetcher {
 public:
  GrowingMftFetcher(VolumeSource& volume, VolumeGeometry& geometry, const FileAttributes& gathered)
      : VolumeRecordFetcher(volume, geometry), geometry_(geometry), gathered_(gathered) {}

  bool FetchRecord(uint64_t index, std::vector<std::byte>& record) override {
    MapGatheredPieces();
    return VolumeRecordFetcher::FetchRecord(index, record);
  }

 private:
  void MapGatheredPieces() {
    const DataStream* data = gathered_.Stream(u"");
    if (!data || stuck_) return;
    for (; seen_ < data->Pieces.size(); ++seen_) {
      const ByteView piece = data->Pieces[seen_];
      if (IsNonResident(piece)) waiting_.emplace(ReadNonResidentHeader(piece).FirstVcn, piece);
    }
    for (auto next = waiting_.find(mappedVcns_); next != waiting_.end(); next = waiting_.find(mappedVcns_)) {
      const NonResidentHeader header = ReadNonResidentHeader(next->second);
      try {
        ExtentRuns runs(std::span(&next->second, 1), geometry_.TotalClusters);
        for (std::optional<DataRun> run = runs.Next(); run; run = runs.Next()) {
          geometry_.Mft.Append(*run, geometry_.BytesPerCluster);
        }
      } catch (const EngineError&) {
        // A piece that does not map ends the map here; the final join says why.
        stuck_ = true;
        return;
      }
      mappedVcns_ = header.LastVcn + 1;
      waiting_.erase(next);
      if (mappedVcns_ <= header.FirstVcn) stuck_ = true;
    }
  }

  VolumeGeometry& geometry_;
  const FileAttributes& gathered_;
  size_t seen_ = 0;
  std::map<uint64_t, ByteView> waiting_;  // pieces by first VCN, not mapped yet
  uint64_t mappedVcns_ = 0;
  bool stuck_ = false;
};

// What the map of the MFT covers, from record 0's $DATA.
struct MftExtents {
  uint64_t VcnCount = 0;
  uint64_t DataSize = 0;
  uint64_t AllocatedSize = 0;
  bool Complete = true;  // false: an extension record of $MFT is lost, the records past it unmapped
};

// Maps the MFT from record 0, and through record 0's attribute list from the extension records
// that hold the rest of $MFT's runs. A piece that cannot be read leaves the records past it
// unmapped; the scan counts them as unreadable.
MftExtents MapMft(VolumeSource& volume, VolumeGeometry& geometry, ByteView record) {
  geometry.Mft = MftMap();
  FileAttributes attributes;
  GrowingMftFetcher fetcher(volume, geometry, attributes);
  GatherFileAttributes(record, MftRecordIndex, fetcher, attributes, FileState::Live);
  const DataStream* data = attributes.Stream(u"");
  if (!data || data->Pieces.empty() || !IsNonResident(data->Pieces.front())) {
    throw EngineError(messages::MftWithoutRuns);
  }
  const uint16_t flags = AttributeFlags(data->Pieces.front());
  if (flags == AttributeSparse || flags == AttributeEncrypted || flags == AttributeCompressed) {
    throw EngineError(messages::UnsupportedMft);
  }
  const std::vector<ByteView> prefix = JoinedPrefix(*data);
  JoinedExtents joined;
  MftMap map;
  try {
    joined = JoinDataExtents(prefix, geometry.TotalClusters);
    if (joined.VcnCount == 0 || joined.VcnCount > geometry.TotalClusters) {
      throw EngineError(messages::InvalidMftRecord, "MFT VCN range outside the volume");
    }
    ExtentRuns runs(joined.Pieces, geometry.TotalClusters);
    for (std::optional<DataRun> run = runs.Next(); run; run = runs.Next()) map.Append(*run, geometry.BytesPerCluster);
  } catch (const EngineError& error) {
    throw EngineError(messages::InvalidMftRecord, error.Detail());
  }
  geometry.Mft = std::move(map);
  const bool complete = prefix.size() == data->Pieces.size() && data->Loss == AttributeLoss::None;
  if (!complete) {
    DebugTrace("MFT mapped to VCN " + std::to_string(joined.VcnCount) + " only: an extension record is lost");
  }
  return {joined.VcnCount, joined.DataSize, joined.AllocatedSize, complete};
}

}  // namespace

std::unique_ptr<VolumeSource> OpenVolumeToScan(const VolumeLocation& location) {
  OpenResult opened = OpenVolumeAt(location);
  if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToScanFailed, opened));
  return std::move(opened.Volume);
}

void ReadVolumeGeometry(VolumeSource& volume, VolumeGeometry& geometry) {
  geometry.RepairedFrom = NotRepaired;
  const BootSector boot = ReadBootSector(volume, geometry.RepairedFrom);
  geometry.BytesPerSector = boot.BytesPerSector;
  geometry.SectorsPerCluster = boot.SectorsPerCluster;
  geometry.BytesPerCluster = boot.BytesPerCluster;
  geometry.FileRecordSize = boot.FileRecordSize;
  // Clusters become byte offsets; a sector count no volume can have must not let them wrap.
  geometry.TotalClusters = std::min<uint64_t>(boot.TotalSectors / boot.SectorsPerCluster,
                                              std::numeric_limits<int64_t>::max() / boot.BytesPerCluster);
  DebugTrace("File Record:" + std::to_string(geometry.FileRecordSize));

  const std::vector<std::byte> record = ReadFirstRecord(volume, boot, geometry.MftOffset, geometry.RepairedFrom);
  const MftExtents mft = MapMft(volume, geometry, record);
  geometry.MftClusterCount = static_cast<int64_t>(mft.VcnCount);
  // The MFT's records are those of its data; its allocation can be larger. Records past a lost
  // piece of the map still count, as records that cannot be read.
  const uint64_t mftBytes =
      std::min(mft.DataSize, mft.Complete ? mft.VcnCount * geometry.BytesPerCluster : mft.AllocatedSize);
  const uint64_t recordCount = mftBytes / geometry.FileRecordSize;
  if (recordCount > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    throw EngineError(messages::InvalidMftRecord, "MFT of more records than a scan can count");
  }
  geometry.MftOffset = static_cast<int64_t>(geometry.Mft.Extents().front().VolumeByte);
  geometry.RecordCount = static_cast<int32_t>(recordCount);
  if (UseMirrorForDamagedRecords(volume, boot, geometry.Mft)) geometry.RepairedFrom |= RepairedFromMftMirror;
  DebugTrace("Total Recouds:" + std::to_string(geometry.RecordCount));
}

}  // namespace salvoran
