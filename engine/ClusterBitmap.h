#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "engine/ClusterRun.h"
#include "engine/FileAttributes.h"
#include "engine/MftMap.h"
#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

inline constexpr uint64_t BitmapRecord = 6;

// Of some clusters, how many the bitmap marks in use, and of how many it cannot say.
struct BitmapCount {
  uint64_t InUse = 0;
  uint64_t Unknown = 0;
  bool operator==(const BitmapCount&) const = default;
};

// Which clusters the volume marks in use, from $Bitmap's $DATA, read a window at a time on
// demand so that memory stays the same whatever the volume's size.
class ClusterBitmap {
 public:
  // The bitmap is found through record 6 when first needed, so a scan that lists no
  // non-resident file never reads it. Without a readable one, no cluster's state is known.
  ClusterBitmap(VolumeSource& volume, const VolumeGeometry& geometry, RecordFetcher& fetcher)
      : volume_(volume), geometry_(geometry), fetcher_(fetcher) {}

  // How many of the clusters [first, first + count) are marked in use, and how many are unknown:
  // those past the end of the source (a cut image) or of the bitmap, and those whose bitmap bytes
  // cannot be read. Nothing past the source is read, which bounds the work a run list that
  // claims the whole of a huge volume can cause.
  BitmapCount Count(uint64_t first, uint64_t count);

  static constexpr uint64_t WindowBytes = 64u << 10;
  // Deleted files lie all over a volume, and a window read again can cost a seek each time, so
  // the windows last used are kept: 8 MiB of them covers 256 GiB of 4 KiB clusters.
  static constexpr size_t KeptWindows = 128;

 private:
  struct Window {
    uint64_t Index = 0;
    uint64_t LastUse = 0;
    std::vector<std::byte> Bits;
    std::vector<std::pair<uint64_t, uint64_t>> Unreadable;  // [first, end) bytes of Bits, read as zero
  };
  void Open();
  const Window& LoadWindow(uint64_t window);

  VolumeSource& volume_;
  const VolumeGeometry& geometry_;
  RecordFetcher& fetcher_;
  bool opened_ = false;
  MftMap map_;  // the same byte map as the MFT's serves the bitmap's runs
  uint64_t countableClusters_ = 0;
  uint64_t bitmapBytes_ = 0;
  std::vector<Window> windows_;
  size_t lastWindow_ = 0;
  uint64_t uses_ = 0;
};

// What a stream's runs hold and how much of it the volume has given to other files since. Named
// apart from the tree model's ClusterUse: two types of one name are undefined behaviour.
struct StreamClusterUse {
  uint64_t Clusters = 0;  // allocated, holes not counted
  uint64_t InUse = 0;     // of those holding written content, how many the bitmap marks in use
  uint64_t Unknown = 0;   // of those holding written content, how many it cannot say of
  std::vector<ClusterRun> Runs;  // the allocated runs themselves
};

// The clusters the runs of a stream's pieces name (a resident stream has none). Only clusters
// below the initialized size are looked up in the bitmap: past it the file reads as zeros, so
// what lies there now changes nothing restored. A piece whose run list does not decode adds
// nothing.
StreamClusterUse CountClusterUse(const DataStream& stream, const VolumeGeometry& geometry, ClusterBitmap& bitmap);

}  // namespace salvoran
