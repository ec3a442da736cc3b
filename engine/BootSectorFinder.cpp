#include "engine/BootSectorFinder.h"

#include <algorithm>
#include <cstring>

#include "engine/DiskLayout.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/VolumeWindow.h"

namespace salvoran {
namespace {

constexpr uint64_t SectorStep = 512;
constexpr size_t EndSignatureOffset = 0x1FE;
// The first records of an MFT, looked for where a lone boot sector says the MFT lies.
constexpr uint32_t RecordsLookedFor = 16;

uint64_t RoundUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

bool EndsWithSignature(ByteView sector) {
  return std::to_integer<uint8_t>(sector[EndSignatureOffset]) == 0x55 &&
         std::to_integer<uint8_t>(sector[EndSignatureOffset + 1]) == 0xAA;
}

// Bytes from the volume's start to its backup boot sector, or nothing when they overflow.
std::optional<uint64_t> BackupDistance(const BootSector& boot) {
  uint64_t distance = 0;
  if (__builtin_mul_overflow(boot.TotalSectors, uint64_t{boot.BytesPerSector}, &distance)) return std::nullopt;
  return distance;
}

// How many of the MFT's first records lie where a boot sector at volumeStart says, each with
// its own number: a volume's MFT, or not.
uint32_t CountMftRecordsAt(VolumeSource& source, uint64_t volumeStart, const BootSector& boot) {
  uint64_t mftOffset = 0;
  if (__builtin_mul_overflow(boot.MftCluster, uint64_t{boot.BytesPerCluster}, &mftOffset) ||
      __builtin_add_overflow(mftOffset, volumeStart, &mftOffset)) {
    return 0;
  }
  std::vector<std::byte> records(uint64_t{RecordsLookedFor} * boot.FileRecordSize);
  const size_t got = source.ReadAt(mftOffset, records).BytesRead;
  uint32_t found = 0;
  for (uint32_t index = 0; uint64_t{index + 1} * boot.FileRecordSize <= got; ++index) {
    const MutableByteView record = MutableByteView(records).subspan(uint64_t{index} * boot.FileRecordSize,
                                                                     boot.FileRecordSize);
    if (ClaimedRecordSize(record) != boot.FileRecordSize) continue;
    try {
      ApplyFixups(record);
    } catch (const EngineError&) {
      continue;
    }
    found += RecordNumberField(record) == index ? 1 : 0;
  }
  return found;
}

}  // namespace

void BootSectorFinder::Consume(uint64_t sourceOffset, ByteView block) {
  for (uint64_t at = RoundUp(sourceOffset, SectorStep) - sourceOffset; at + BootSectorSize <= block.size();
       at += SectorStep) {
    const ByteView sector = block.subspan(static_cast<size_t>(at), BootSectorSize);
    if (!EndsWithSignature(sector) || !HasNtfsSignature(sector) || sightings_.size() >= MaxBootSectors) continue;
    Sighting sighting;
    try {
      sighting.Boot = ParseBootSector(sector);
    } catch (const EngineError&) {
      continue;
    }
    sighting.Offset = sourceOffset + at;
    std::memcpy(sighting.Bytes.data(), sector.data(), BootSectorSize);
    sightings_.push_back(sighting);
  }
}

std::vector<FoundVolume> BootSectorFinder::Volumes(VolumeSource& source) const {
  std::vector<FoundVolume> volumes;
  std::vector<bool> paired(sightings_.size(), false);
  // Sightings come in the order of their offsets: a backup always follows its primary.
  for (size_t i = 0; i < sightings_.size(); ++i) {
    if (paired[i]) continue;
    const Sighting& sighting = sightings_[i];
    const std::optional<uint64_t> distance = BackupDistance(sighting.Boot);
    if (!distance) continue;
    FoundVolume volume;
    volume.Boot = sighting.Boot;
    volume.Size = *distance + sighting.Boot.BytesPerSector;
    for (size_t j = i + 1; j < sightings_.size() && !volume.BackupWhole; ++j) {
      const Sighting& later = sightings_[j];
      if (!paired[j] && later.Offset - sighting.Offset == *distance && later.Bytes == sighting.Bytes) {
        paired[j] = true;
        volume.BackupWhole = true;
      }
    }
    if (volume.BackupWhole) {
      volume.Offset = sighting.Offset;
      volume.PrimaryWhole = true;
    } else {
      // Alone: a primary whose backup is gone, or a backup whose primary is.
      const bool canBeBackup = sighting.Offset >= *distance;
      const uint32_t asPrimary = CountMftRecordsAt(source, sighting.Offset, sighting.Boot);
      const uint32_t asBackup = canBeBackup ? CountMftRecordsAt(source, sighting.Offset - *distance, sighting.Boot) : 0;
      volume.BackupWhole = asBackup > asPrimary;
      volume.PrimaryWhole = !volume.BackupWhole;
      volume.Offset = volume.BackupWhole ? sighting.Offset - *distance : sighting.Offset;
    }
    VolumeWindow window(source, volume.Offset, volume.Size);
    volume.Label = ReadVolumeLabel(window, volume.Boot);
    volumes.push_back(std::move(volume));
  }
  return volumes;
}

}  // namespace salvoran
