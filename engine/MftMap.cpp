#include "engine/MftMap.h"

#include <algorithm>

#include "engine/EngineError.h"
#include "support/Messages.h"

namespace salvoran {

MftMap::MftMap(const std::vector<DataRun>& runs, uint32_t bytesPerCluster) {
  for (const DataRun& run : runs) Append(run, bytesPerCluster);
}

void MftMap::Append(const DataRun& run, uint32_t bytesPerCluster) {
  if (run.Sparse) throw EngineError(messages::InvalidMftRecord, "sparse run in the MFT");
  if (run.ClusterCount == 0) return;
  // Run bounds were checked against the volume, so these products stay far below 2^64.
  extents_.push_back({CoveredBytes(), run.StartCluster * bytesPerCluster, run.ClusterCount * bytesPerCluster});
}

void MftMap::Redirect(uint64_t mftByte, uint64_t length, uint64_t volumeByte) {
  const uint64_t end = mftByte + length;
  std::vector<Extent> redirected;
  for (const Extent& extent : extents_) {
    const uint64_t extentEnd = extent.MftByte + extent.Length;
    if (extentEnd <= mftByte || extent.MftByte >= end) {
      redirected.push_back(extent);
      continue;
    }
    if (extent.MftByte < mftByte) redirected.push_back({extent.MftByte, extent.VolumeByte, mftByte - extent.MftByte});
    if (extent.MftByte <= mftByte) redirected.push_back({mftByte, volumeByte, length});
    if (extentEnd > end) {
      const uint64_t skip = end - extent.MftByte;
      redirected.push_back({end, extent.VolumeByte + skip, extentEnd - end});
    }
  }
  extents_ = std::move(redirected);
}

uint64_t MftMap::CoveredBytes() const {
  return extents_.empty() ? 0 : extents_.back().MftByte + extents_.back().Length;
}

size_t MftMap::ExtentIndexOf(uint64_t mftByte) const {
  const auto after = std::upper_bound(extents_.begin(), extents_.end(), mftByte,
                                      [](uint64_t byte, const Extent& e) { return byte < e.MftByte; });
  if (after == extents_.begin()) return extents_.size();
  const size_t index = static_cast<size_t>(after - extents_.begin()) - 1;
  return mftByte - extents_[index].MftByte < extents_[index].Length ? index : extents_.size();
}

std::optional<uint64_t> MftMap::VolumeOffsetOf(uint64_t mftByte) const {
  const size_t index = ExtentIndexOf(mftByte);
  if (index == extents_.size()) return std::nullopt;
  return extents_[index].VolumeByte + (mftByte - extents_[index].MftByte);
}

uint64_t MftMap::BytesBelow(uint64_t volumeEnd) const {
  uint64_t end = 0;
  for (const Extent& extent : extents_) {
    if (extent.VolumeByte < volumeEnd) {
      end = std::max(end, extent.MftByte + std::min(extent.Length, volumeEnd - extent.VolumeByte));
    }
  }
  return end;
}

std::optional<uint64_t> MftMap::MftByteAt(uint64_t volumeByte) const {
  for (const Extent& extent : extents_) {
    if (volumeByte >= extent.VolumeByte && volumeByte - extent.VolumeByte < extent.Length) {
      return extent.MftByte + (volumeByte - extent.VolumeByte);
    }
  }
  return std::nullopt;
}

}  // namespace salvoran
