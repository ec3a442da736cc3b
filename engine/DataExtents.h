#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/ByteView.h"
#include "engine/RunList.h"

namespace salvoran {

// A non-resident attribute whose pieces (one per record that holds part of its run list) are
// joined into one run list in VCN order.
struct JoinedExtents {
  // From the piece that starts at VCN 0.
  uint16_t Flags = 0;
  uint8_t CompressionUnit = 0;
  uint64_t AllocatedSize = 0;
  uint64_t DataSize = 0;
  uint64_t InitializedSize = 0;
  uint64_t VcnCount = 0;       // clusters the pieces' VCN ranges cover together
  std::vector<DataRun> Runs;   // exactly VcnCount clusters, in VCN order
};

// Joins the pieces, sorted by starting VCN: the first must start at VCN 0 and each next one
// where the one before ends. Each piece's runs are cut at the end of its VCN range and, where
// they fall short of it, followed by a hole. Throws EngineError: the pieces do not join
// (messages::DataExtentsGap), or a run list does not decode ("Failed to read run Data.").
JoinedExtents JoinDataExtents(std::span<const ByteView> pieces, uint64_t totalClusters);

// Refuses (EngineError messages::DataSizeBeyondClusters) a data size larger than the
// allocated size or than the clusters of the VCN range: such a record is damaged.
void CheckDataSize(const JoinedExtents& extents, uint32_t bytesPerCluster);

}  // namespace salvoran
