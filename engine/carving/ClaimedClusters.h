#pragma once

#include <cstdint>
#include <vector>

#include "engine/carving/CarvedFile.h"

namespace salvoran::carving {

// Clusters of the carved area that a listed file claims: [First, First + Count).
struct ClusterRange {
  uint64_t First = 0;
  uint64_t Count = 0;
};

// Sorted by first cluster, overlapping and touching ranges joined.
std::vector<ClusterRange> MergeClusterRanges(std::vector<ClusterRange> ranges);

// After the pass: drops the carved files that share a cluster with a file the scan lists
// already (a deleted file whose record still names its clusters), counting them in `dropped`.
// `areaOffset` and `clusterBytes` place the area's clusters in the source.
std::vector<CarvedFile> RemoveClaimed(std::vector<CarvedFile> files, std::vector<ClusterRange> claimed,
                                      uint64_t areaOffset, uint32_t clusterBytes, DropCounts& dropped);

}  // namespace salvoran::carving
