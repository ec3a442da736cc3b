#include "engine/VolumeRepair.h"

#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/VolumeRecordFetcher.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

// Where the mirror's copy of a record lies, or nothing when the boot sector's figures overflow.
std::optional<uint64_t> MirroredRecordOffset(const BootSector& boot, uint32_t index) {
  uint64_t mirror = 0;
  uint64_t offset = 0;
  if (__builtin_mul_overflow(boot.MftMirrorCluster, uint64_t{boot.BytesPerCluster}, &mirror) ||
      __builtin_add_overflow(mirror, uint64_t{index} * boot.FileRecordSize, &offset)) {
    return std::nullopt;
  }
  return offset;
}

bool PassesCheck(std::vector<std::byte>& record) {
  try {
    ApplyFixups(record);
    return true;
  } catch (const EngineError&) {
    return false;
  }
}

}  // namespace

std::string RepairedFromText(uint8_t repairs) {
  std::string text;
  if (repairs & RepairedFromBackupBootSector) text = "backup boot sector";
  if (repairs & RepairedFromMftMirror) text += std::string(text.empty() ? "" : " and ") + "MFT mirror";
  return text;
}

std::vector<std::string_view> RepairNotes(uint8_t repairs) {
  std::vector<std::string_view> notes;
  if (repairs & RepairedFromBackupBootSector) notes.push_back(messages::RepairedBootSector);
  if (repairs & RepairedFromMftMirror) notes.push_back(messages::RepairedMftHead);
  return notes;
}

std::optional<BootSector> ReadBackupBootSector(VolumeSource& volume) {
  for (uint32_t sectorSize = MinBytesPerSector; sectorSize <= MaxBytesPerSector; sectorSize *= 2) {
    if (volume.Size() < 2 * uint64_t{sectorSize}) break;
    std::vector<std::byte> sector(BootSectorSize);
    if (volume.ReadAt(volume.Size() - sectorSize, sector).BytesRead != sector.size() || !HasNtfsSignature(sector)) {
      continue;
    }
    try {
      const BootSector boot = ParseBootSector(sector);
      // The copy lies in the volume's last sector of its own size, not of another.
      if (boot.BytesPerSector == sectorSize) return boot;
    } catch (const EngineError&) {
    }
  }
  return std::nullopt;
}

std::optional<std::vector<std::byte>> ReadMirroredRecord(VolumeSource& volume, const BootSector& boot,
                                                         uint32_t index) {
  const std::optional<uint64_t> offset = MirroredRecordOffset(boot, index);
  if (!offset) return std::nullopt;
  std::vector<std::byte> record(boot.FileRecordSize);
  if (volume.ReadAt(*offset, record).BytesRead != record.size() || !PassesCheck(record)) return std::nullopt;
  return record;
}

bool UseMirrorForDamagedRecords(VolumeSource& volume, const BootSector& boot, MftMap& map) {
  bool used = false;
  for (uint32_t index = 0; index < MirroredRecords; ++index) {
    const uint64_t mftByte = uint64_t{index} * boot.FileRecordSize;
    std::vector<std::byte> own(boot.FileRecordSize);
    if (ReadMftBytes(volume, map, mftByte, own) && PassesCheck(own)) continue;
    if (!ReadMirroredRecord(volume, boot, index)) continue;
    map.Redirect(mftByte, boot.FileRecordSize, *MirroredRecordOffset(boot, index));
    used = true;
  }
  return used;
}

}  // namespace salvoran
