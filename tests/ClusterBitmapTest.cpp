// The bitmap read in windows: a count that spans two windows, and clusters past the source's end.
// Counts on real volumes are checked in CliScanTest against the manifest.
#include <gtest/gtest.h>

#include "engine/ClusterBitmap.h"
#include "engine/FileRecord.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran::test {
namespace {

constexpr uint32_t ClusterBytes = 512;
constexpr uint64_t VolumeClusters = 1'200'000;  // a bitmap of more than two windows
constexpr uint64_t BitmapBytes = VolumeClusters / 8;
constexpr uint64_t BitmapCluster = 100;
constexpr uint64_t WindowClusters = ClusterBitmap::WindowBytes * 8;

// Every third cluster around the first window's end is in use.
bool InUse(uint64_t cluster) { return cluster % 3 == 0 && cluster + 1000 > WindowClusters && cluster < WindowClusters + 1000; }

MemoryRecords BitmapRecordOnly() {
  RecordSpec spec;
  spec.Flags = RecordInUse;
  const uint64_t clusters = (BitmapBytes + ClusterBytes - 1) / ClusterBytes;
  spec.Attributes = {NonResidentDataAttribute(EncodeRunList({{clusters, BitmapCluster, false}}), BitmapBytes)};
  MemoryRecords records;
  records.Records[BitmapRecord] = BuildRecord(spec);
  return records;
}

SparseVolume VolumeWithBitmap(uint64_t sourceClusters) {
  SparseVolume volume(sourceClusters * ClusterBytes);
  Bytes bitmap(BitmapBytes);
  for (uint64_t cluster = 0; cluster < VolumeClusters; ++cluster) {
    if (InUse(cluster)) bitmap[cluster / 8] |= std::byte{1} << (cluster % 8);
  }
  volume.Place(BitmapCluster * ClusterBytes, bitmap);
  return volume;
}

uint64_t CountExpected(uint64_t first, uint64_t count, uint64_t sourceClusters) {
  uint64_t inUse = 0;
  for (uint64_t cluster = first; cluster < first + count && cluster < sourceClusters; ++cluster) inUse += InUse(cluster);
  return inUse;
}

TEST(ClusterBitmapTest, CountsAcrossWindowsAndNothingPastTheSource) {
  VolumeGeometry geometry;
  geometry.BytesPerCluster = ClusterBytes;
  geometry.TotalClusters = VolumeClusters;
  MemoryRecords records = BitmapRecordOnly();
  for (const uint64_t sourceClusters : {VolumeClusters, WindowClusters + 7}) {
    SparseVolume volume = VolumeWithBitmap(sourceClusters);
    ClusterBitmap bitmap(volume, geometry, records);
    for (const auto& [first, count] : {std::pair<uint64_t, uint64_t>{WindowClusters - 500, 1000},
                                       {WindowClusters - 3, 70}, {WindowClusters + 1, 1}, {0, VolumeClusters}}) {
      EXPECT_EQ(bitmap.CountInUse(first, count), CountExpected(first, count, sourceClusters))
          << first << "+" << count << " of a source of " << sourceClusters << " clusters";
    }
    EXPECT_EQ(bitmap.CountInUse(VolumeClusters, 10), 0u);
  }
}

// Deleted files lie all over a volume: counting back and forth between windows reads each once.
TEST(ClusterBitmapTest, ReadsAWindowOnceWhileItIsKept) {
  VolumeGeometry geometry;
  geometry.BytesPerCluster = ClusterBytes;
  geometry.TotalClusters = VolumeClusters;
  MemoryRecords records = BitmapRecordOnly();
  SparseVolume source = VolumeWithBitmap(VolumeClusters);
  WatchedVolume volume(source);
  ClusterBitmap bitmap(volume, geometry, records);
  for (int round = 0; round < 10; ++round) {
    for (const uint64_t first : {WindowClusters + 20, 2 * WindowClusters + 5, uint64_t{5}}) {
      EXPECT_EQ(bitmap.CountInUse(first, 10), CountExpected(first, 10, VolumeClusters));
    }
  }
  EXPECT_EQ(volume.Reads().size(), 3u);
}

}  // namespace
}  // namespace salvoran::test
