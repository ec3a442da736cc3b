// The bitmap read in windows: a count that spans two windows, and clusters past the source's end
// or in bitmap bytes that cannot be read, whose state is unknown.
// Counts on real volumes are checked in CliScanTest against the manifest.
#include <gtest/gtest.h>

#include "engine/ClusterBitmap.h"
#include "engine/FileRecord.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {

// Found by the test's messages next to the type.
static void PrintTo(const BitmapCount& count, std::ostream* out) {
  *out << count.InUse << " in use, " << count.Unknown << " unknown";
}

namespace test {
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

// Clusters from knownEnd on are unknown.
BitmapCount CountExpected(uint64_t first, uint64_t count, uint64_t knownEnd) {
  BitmapCount expected;
  for (uint64_t cluster = first; cluster < first + count; ++cluster) {
    if (cluster >= knownEnd) {
      ++expected.Unknown;
    } else {
      expected.InUse += InUse(cluster);
    }
  }
  return expected;
}

class ClusterBitmapTest : public testing::Test {
 protected:
  ClusterBitmapTest() {
    geometry_.BytesPerCluster = ClusterBytes;
    geometry_.TotalClusters = VolumeClusters;
  }

  VolumeGeometry geometry_;
  MemoryRecords records_ = BitmapRecordOnly();
};

TEST_F(ClusterBitmapTest, CountsAcrossWindowsAndClustersPastTheSourceOrTheBitmapAsUnknown) {
  for (const uint64_t sourceClusters : {VolumeClusters, WindowClusters + 7}) {
    SparseVolume volume = VolumeWithBitmap(sourceClusters);
    ClusterBitmap bitmap(volume, geometry_, records_);
    for (const auto& [first, count] : {std::pair<uint64_t, uint64_t>{WindowClusters - 500, 1000},
                                       {WindowClusters - 3, 70}, {WindowClusters + 1, 1}, {0, VolumeClusters}}) {
      EXPECT_EQ(bitmap.Count(first, count), CountExpected(first, count, sourceClusters))
          << first << "+" << count << " of a source of " << sourceClusters << " clusters";
    }
    EXPECT_EQ(bitmap.Count(VolumeClusters, 10), (BitmapCount{0, 10})) << "past the bitmap";
  }
}

// A read of the bitmap that fails leaves the rest of what it asked for unknown, never free.
TEST_F(ClusterBitmapTest, BitmapBytesThatCannotBeReadLeaveTheirClustersUnknown) {
  constexpr uint64_t BadByte = 100;  // of the second window
  SparseVolume source = VolumeWithBitmap(VolumeClusters);
  WatchedVolume volume(source);
  volume.FailStretch(BitmapCluster * ClusterBytes + ClusterBitmap::WindowBytes + BadByte, 1);
  ClusterBitmap bitmap(volume, geometry_, records_);
  const uint64_t knownEnd = WindowClusters + BadByte * 8;
  // Up to the end of the second window: the third is read on its own.
  for (const auto& [first, count] : {std::pair<uint64_t, uint64_t>{WindowClusters - 500, 1000},
                                     {knownEnd - 4, 8}, {2 * WindowClusters - 2, 2}}) {
    EXPECT_EQ(bitmap.Count(first, count), CountExpected(first, count, knownEnd)) << first << "+" << count;
  }
}

// Deleted files lie all over a volume: counting back and forth between windows reads each once.
TEST_F(ClusterBitmapTest, ReadsAWindowOnceWhileItIsKept) {
  SparseVolume source = VolumeWithBitmap(VolumeClusters);
  WatchedVolume volume(source);
  ClusterBitmap bitmap(volume, geometry_, records_);
  for (int round = 0; round < 10; ++round) {
    for (const uint64_t first : {WindowClusters + 20, 2 * WindowClusters + 5, uint64_t{5}}) {
      EXPECT_EQ(bitmap.Count(first, 10), CountExpected(first, 10, VolumeClusters));
    }
  }
  EXPECT_EQ(volume.Reads().size(), 3u);
}

}  // namespace
}  // namespace test
}  // namespace salvoran
