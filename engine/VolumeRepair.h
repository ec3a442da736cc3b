#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/BootSector.h"
#include "engine/MftMap.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// The copies NTFS keeps of what opens a volume, used in place of a damaged original.
enum VolumeRepair : uint8_t {
  NotRepaired = 0,
  RepairedFromBackupBootSector = 1,  // the boot sector's copy in the volume's last sector
  RepairedFromMftMirror = 2,         // copies of the MFT's first records in $MFTMirr
};

// "backup boot sector", "MFT mirror", or both joined by " and "; empty when nothing was repaired.
std::string RepairedFromText(uint8_t repairs);
// A sentence for each repair, saying what was damaged and which copy was read.
std::vector<std::string_view> RepairNotes(uint8_t repairs);

// The backup boot sector: the last sector of the volume, of whichever sector size the copy names.
// Nothing when the volume's size is unknown or no sector there is a sound NTFS boot sector.
std::optional<BootSector> ReadBackupBootSector(VolumeSource& volume);

// How many of the MFT's first records $MFTMirr holds a copy of.
inline constexpr uint32_t MirroredRecords = 4;

// The mirror's copy of one of the first records, its fixups applied; nothing when it cannot be
// read or fails its check.
std::optional<std::vector<std::byte>> ReadMirroredRecord(VolumeSource& volume, const BootSector& boot,
                                                         uint32_t index);

// Points the map at the mirror's copy of each of the first records whose own copy cannot be
// read or fails its check while the mirror's passes. True when one was.
bool UseMirrorForDamagedRecords(VolumeSource& volume, const BootSector& boot, MftMap& map);

}  // namespace salvoran
