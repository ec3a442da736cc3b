#include "engine/carving/ClaimedClusters.h"

#include <algorithm>

namespace salvoran::carving {
std::vector<ClusterRange> MergeClusterRanges(std::vector<ClusterRange> ranges) {
  std::erase_if(ranges, [](const ClusterRange& range) { return range.Count == 0; });
  std::sort(ranges.begin(), ranges.end(),
            [](const ClusterRange& a, const ClusterRange& b) { return a.First < b.First; });
  std::vector<ClusterRange> merged;
  for (const ClusterRange& range : ranges) {
    const uint64_t end = range.First + std::min(range.Count, UINT64_MAX - range.First);
    if (!merged.empty() && range.First <= merged.back().First + merged.back().Count) {
      merged.back().Count = std::max(merged.back().First + merged.back().Count, end) - merged.back().First;
    } else {
      merged.push_back({range.First, end - range.First});
    }
  }
  return merged;
}

std::vector<CarvedFile> RemoveClaimed(std::vector<CarvedFile> files, std::vector<ClusterRange> claimed,
                                      uint64_t areaOffset, uint32_t clusterBytes, DropCounts& dropped) {
  const std::vector<ClusterRange> ranges = MergeClusterRanges(std::move(claimed));
  std::erase_if(files, [&](const CarvedFile& file) {
    const uint64_t first = (file.SourceOffset - areaOffset) / clusterBytes;
    const uint64_t last = (file.SourceOffset - areaOffset + file.Length - 1) / clusterBytes;
    // The first claimed range that ends after the file's first cluster.
    const auto range =
        std::upper_bound(ranges.begin(), ranges.end(), first,
                         [](uint64_t cluster, const ClusterRange& r) { return cluster < r.First + r.Count; });
    const bool overlaps = range != ranges.end() && range->First <= last;
    if (overlaps) dropped.Add(file.Extension, DropReason::ClaimedByListedFile);
    return overlaps;
  });
  return files;
}

}  // namespace salvoran::carving
