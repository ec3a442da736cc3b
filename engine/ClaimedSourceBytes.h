#pragma once

#include <cstdint>
#include <vector>

#include "engine/ClusterRun.h"
#include "engine/carving/ClaimedClusters.h"

namespace salvoran {

// Where a listed file's clusters lie: its volume's place in the source and cluster size.
struct ClaimPlace {
  uint64_t VolumeOffset = 0;
  uint32_t ClusterBytes = 0;
};

// The bytes of the source that listed files claim, gathered as the files are listed (before the
// carving area is known), kept merged so memory stays that of the distinct stretches.
class ClaimedSourceBytes {
 public:
  void Add(const std::vector<ClusterRun>& runs, const ClaimPlace& place);
  // The same as clusters of an area: every cluster a claimed byte falls in.
  std::vector<carving::ClusterRange> InClusters(uint64_t areaOffset, uint64_t areaLength, uint32_t clusterBytes) const;

 private:
  std::vector<carving::ClusterRange> bytes_;  // First and Count in bytes
  size_t merged_ = 0;                         // ranges after the last merge
};

}  // namespace salvoran
