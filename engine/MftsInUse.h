#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteView.h"
#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// The MFTs the source's volumes use now. A record found inside one of them belongs to its volume
// as it is: the scan of that MFT has seen it, or that volume is another partition, scanned on its
// own. What such an MFT does not describe is left to the deep scan: records outside its runs, in
// its allocation past its data, and those inside it that its $MFT bitmap marks free while their
// in-use flag is still set and they are older than the volume's format (a quick format
// re-initialises only the first records; the others keep what they were).
class MftsInUse {
 public:
  // The volume that was scanned, starting at volumeOffset in the source; volume is that volume
  // alone. Reads its $MFT bitmap and the time of its format from record 0.
  void AddScannedVolume(VolumeSource& volume, const VolumeGeometry& geometry, uint64_t volumeOffset);
  // Another volume a partition table names: everything in it is its own scan's business.
  void AddOtherVolume(uint64_t offset, uint64_t size);

  // Whether the record found at sourceOffset (its fixups applied) is one an MFT in use describes.
  bool Describes(uint64_t sourceOffset, ByteView record) const;

  // The $MFT bitmap is read up to this size: past it, records count as in use.
  static constexpr uint64_t MaxBitmapBytes = 32u << 20;

 private:
  struct Extent {
    uint64_t SourceByte = 0;
    uint64_t MftByte = 0;
    uint64_t Length = 0;
  };
  struct Stretch {
    uint64_t Offset = 0;
    uint64_t Size = 0;
  };

  bool ScannedMftDescribes(uint64_t sourceOffset, ByteView record) const;

  std::vector<Extent> extents_;  // the scanned volume's MFT, sorted by SourceByte
  uint32_t recordSize_ = 0;
  uint64_t recordCount_ = 0;
  std::vector<std::byte> bitmap_;
  uint64_t formatTime_ = 0;
  std::vector<Stretch> others_;
};

}  // namespace salvoran
