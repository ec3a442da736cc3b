#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/BootSector.h"
#include "engine/SourceBlockConsumer.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// An NTFS volume found by its boot sector, whether or not a partition table names it.
struct FoundVolume {
  uint64_t Offset = 0;  // bytes from the start of the source
  uint64_t Size = 0;    // its sectors and the one after them that holds the backup boot sector
  BootSector Boot;
  bool PrimaryWhole = false;  // a sound boot sector at Offset
  bool BackupWhole = false;   // its copy in the volume's last sector
  std::string Label;          // from $Volume, when it can be read
};

// Finds NTFS boot sectors on the sector boundaries of the source as its blocks go by: primary
// ones at a volume's start and their backups at its end. Keeps at most MaxBootSectors of them, so
// a source made of boot sectors costs no more memory than that.
class BootSectorFinder : public SourceBlockConsumer {
 public:
  static constexpr size_t MaxBootSectors = 4096;

  void Consume(uint64_t sourceOffset, ByteView block) override;

  // The volumes the boot sectors found name. A primary and its backup (the same sector at the
  // primary's offset plus the volume's sectors) make one volume; a boot sector found alone is a
  // primary or a backup, as the MFT it names lies from its own offset or from where the volume
  // would start if it were the backup: the MFT's first records are looked for in the source.
  std::vector<FoundVolume> Volumes(VolumeSource& source) const;
  // How many boot sectors have been found so far.
  size_t SectorsFound() const { return sightings_.size(); }

 private:
  struct Sighting {
    uint64_t Offset = 0;
    BootSector Boot;
    std::array<std::byte, BootSectorSize> Bytes{};
  };
  std::vector<Sighting> sightings_;
};

}  // namespace salvoran
