#include "engine/MftsInUse.h"

#include <algorithm>

#include "engine/Attribute.h"
#include "engine/AttributeHeader.h"
#include "engine/AttributeValues.h"
#include "engine/FileRecord.h"
#include "engine/VolumeRecordFetcher.h"

namespace salvoran {
namespace {

constexpr uint32_t BitmapType = 0xB0;
constexpr uint64_t MftRecord = 0;

}  // namespace

void MftsInUse::AddScannedVolume(VolumeSource& volume, const VolumeGeometry& geometry, uint64_t volumeOffset) {
  for (const MftMap::Extent& extent : geometry.Mft.Extents()) {
    extents_.push_back({volumeOffset + extent.VolumeByte, extent.MftByte, extent.Length});
  }
  std::sort(extents_.begin(), extents_.end(), [](const Extent& a, const Extent& b) { return a.SourceByte < b.SourceByte; });
  recordSize_ = geometry.FileRecordSize;
  recordCount_ = static_cast<uint64_t>(std::max(geometry.RecordCount, 0));

  VolumeRecordFetcher fetcher(volume, geometry);
  std::vector<std::byte> record;
  if (!fetcher.FetchRecord(MftRecord, record)) return;
  formatTime_ = ReadStandardTimes(FindAttribute(record, StandardInformationType, false)).Created;
  const ByteView bitmap = FindAttribute(record, BitmapType, false);
  if (bitmap.empty()) return;
  if (!IsNonResident(bitmap)) {
    const ByteView content = ResidentContent(bitmap);
    bitmap_.assign(content.begin(), content.end());
  } else if (fetcher.ReadNonResident(bitmap, MaxBitmapBytes, bitmap_) != RecordFetcher::ContentRead::Read) {
    bitmap_.clear();
  }
}

void MftsInUse::AddOtherVolume(uint64_t offset, uint64_t size) { others_.push_back({offset, size}); }

bool MftsInUse::Describes(uint64_t sourceOffset, ByteView record) const {
  for (const Stretch& other : others_) {
    if (sourceOffset >= other.Offset && sourceOffset - other.Offset < other.Size) return true;
  }
  return ScannedMftDescribes(sourceOffset, record);
}

bool MftsInUse::ScannedMftDescribes(uint64_t sourceOffset, ByteView record) const {
  const auto after = std::upper_bound(extents_.begin(), extents_.end(), sourceOffset,
                                      [](uint64_t offset, const Extent& e) { return offset < e.SourceByte; });
  if (after == extents_.begin()) return false;
  const Extent& extent = *(after - 1);
  if (sourceOffset - extent.SourceByte >= extent.Length) return false;
  const uint64_t mftByte = extent.MftByte + (sourceOffset - extent.SourceByte);
  // Bytes of the MFT's own records, whatever a stray copy inside them claims.
  if (mftByte % recordSize_ != 0 || record.size() != recordSize_) return true;
  const uint64_t index = mftByte / recordSize_;
  // Past the data: allocated to the MFT but never a record of it.
  if (index >= recordCount_) return false;
  const bool markedFree = index / 8 < bitmap_.size() &&
                          (std::to_integer<unsigned>(bitmap_[static_cast<size_t>(index / 8)]) >> (index % 8) & 1u) == 0;
  const bool flaggedInUse = (RecordFlags(record) & RecordInUse) != 0;
  const uint64_t changed = ReadStandardTimes(FindAttribute(record, StandardInformationType, false)).MftModified;
  return !(markedFree && flaggedInUse && changed < formatTime_);
}

}  // namespace salvoran
