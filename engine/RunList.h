#pragma once

#include <cstdint>
#include <vector>

#include "engine/ByteView.h"

namespace salvoran {

// One run of a non-resident attribute: a stretch of clusters on the volume, or a hole.
struct DataRun {
  uint64_t ClusterCount = 0;
  uint64_t StartCluster = 0;  // meaningless for a sparse run
  bool Sparse = false;
};

// Decodes a run list. Length and offset fields may be up to 8 bytes; the first offset is
// unsigned, later ones are signed and relative to the previous run that had clusters. Every
// run with clusters must lie inside the volume's totalClusters, and together they may not hold
// more clusters than the volume. Throws EngineError "Failed to read run Data." for a list that
// runs off its bytes, lacks its end marker or breaks those bounds.
std::vector<DataRun> DecodeRunList(ByteView runList, uint64_t totalClusters);

}  // namespace salvoran
