#include "engine/ClaimedSourceBytes.h"

#include <algorithm>

namespace salvoran {
namespace {

// Ranges are merged once this many have come, and again each time their count doubles.
constexpr size_t RangesBeforeMerge = 1u << 16;

}  // namespace

void ClaimedSourceBytes::Add(const std::vector<ClusterRun>& runs, const ClaimPlace& place) {
  if (place.ClusterBytes == 0) return;
  for (const ClusterRun& run : runs) {
    // Run lists are checked against their volume's clusters, so these products stay in range.
    bytes_.push_back({place.VolumeOffset + run.First * place.ClusterBytes, run.Count * place.ClusterBytes});
  }
  if (bytes_.size() >= std::max(RangesBeforeMerge, 2 * merged_)) {
    bytes_ = carving::MergeClusterRanges(std::move(bytes_));
    merged_ = bytes_.size();
  }
}

std::vector<carving::ClusterRange> ClaimedSourceBytes::InClusters(uint64_t areaOffset, uint64_t areaLength,
                                                                  uint32_t clusterBytes) const {
  const uint64_t areaEnd = areaOffset + std::min(areaLength, UINT64_MAX - areaOffset);
  std::vector<carving::ClusterRange> clusters;
  for (const carving::ClusterRange& range : bytes_) {
    const uint64_t begin = std::max(range.First, areaOffset);
    const uint64_t end = std::min(range.First + range.Count, areaEnd);
    if (begin >= end) continue;
    const uint64_t first = (begin - areaOffset) / clusterBytes;
    const uint64_t last = (end - areaOffset - 1) / clusterBytes;
    clusters.push_back({first, last - first + 1});
  }
  return clusters;
}

}  // namespace salvoran
