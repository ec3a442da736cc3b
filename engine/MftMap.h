#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/RunList.h"

namespace salvoran {

// Where the bytes of the MFT lie on the volume: the MFT's runs as byte extents, in MFT order.
class MftMap {
 public:
  struct Extent {
    uint64_t MftByte = 0;     // offset of the extent's first byte within the MFT
    uint64_t VolumeByte = 0;  // where that byte lies on the volume
    uint64_t Length = 0;
  };

  MftMap() = default;
  // Throws EngineError when a run is sparse: the MFT has no holes.
  MftMap(const std::vector<DataRun>& runs, uint32_t bytesPerCluster);
  // Extents in MFT order that do not overlap, with gaps where no record is known.
  explicit MftMap(std::vector<Extent> extents) : extents_(std::move(extents)) {}

  // Reads MFT bytes [mftByte, mftByte + length) from volumeByte on instead: a damaged stretch
  // from a copy of it. The bytes must lie inside the covered ones.
  void Redirect(uint64_t mftByte, uint64_t length, uint64_t volumeByte);

  // Adds a run after those already mapped. Throws EngineError when it is sparse.
  void Append(const DataRun& run, uint32_t bytesPerCluster);

  uint64_t CoveredBytes() const;
  const std::vector<Extent>& Extents() const { return extents_; }

  // The volume offset of the MFT byte, or nothing when the runs do not reach it.
  std::optional<uint64_t> VolumeOffsetOf(uint64_t mftByte) const;
  // The length of the shortest start of the MFT that holds every MFT byte lying below
  // volumeEnd: past it, nothing of the MFT can be read from a source of that size.
  uint64_t BytesBelow(uint64_t volumeEnd) const;
  // The MFT byte that lies at a volume offset, or nothing when no extent holds it.
  std::optional<uint64_t> MftByteAt(uint64_t volumeByte) const;

  // Calls piece(volumeByte, length, mftByte) for each contiguous stretch of the MFT range
  // [mftByte, mftByte + length), in order; stops at the end of the covered bytes or at a gap.
  template <typename Piece>
  void ForEachPiece(uint64_t mftByte, uint64_t length, Piece&& piece) const;

 private:
  size_t ExtentIndexOf(uint64_t mftByte) const;
  std::vector<Extent> extents_;
};

template <typename Piece>
void MftMap::ForEachPiece(uint64_t mftByte, uint64_t length, Piece&& piece) const {
  for (size_t i = ExtentIndexOf(mftByte); i < extents_.size() && length > 0; ++i) {
    const Extent& extent = extents_[i];
    if (extent.MftByte > mftByte) break;
    const uint64_t skip = mftByte - extent.MftByte;
    const uint64_t count = std::min(length, extent.Length - skip);
    piece(extent.VolumeByte + skip, count, mftByte);
    mftByte += count;
    length -= count;
  }
}

}  // namespace salvoran
