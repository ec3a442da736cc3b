#include "engine/DataExtents.h"

#include <algorithm>
#include <string>

#include "engine/AttributeHeader.h"
#include "engine/EngineError.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

[[noreturn]] void RefuseGap(const std::string& why) { throw EngineError(messages::DataExtentsGap, why); }

// Appends the runs that fill clusters VCNs from the run list, cut or padded with a hole.
void AppendRuns(std::vector<DataRun>& runs, const std::vector<DataRun>& decoded, uint64_t clusters) {
  for (DataRun run : decoded) {
    if (clusters == 0) break;
    run.ClusterCount = std::min(run.ClusterCount, clusters);
    clusters -= run.ClusterCount;
    if (run.ClusterCount > 0) runs.push_back(run);
  }
  if (clusters > 0) runs.push_back({clusters, 0, true});
}

}  // namespace

JoinedExtents JoinDataExtents(std::span<const ByteView> pieces, uint64_t totalClusters) {
  JoinedExtents joined;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const ByteView piece = pieces[i];
    if (!IsNonResident(piece)) RefuseGap("resident piece " + std::to_string(i) + " among non-resident ones");
    const NonResidentHeader header = ReadNonResidentHeader(piece);
    if (header.FirstVcn != joined.VcnCount) {
      RefuseGap("piece " + std::to_string(i) + " starts at VCN " + std::to_string(header.FirstVcn) + ", not " +
                std::to_string(joined.VcnCount));
    }
    if (i == 0) {
      joined.Flags = header.Flags;
      joined.CompressionUnit = header.CompressionUnit;
      joined.AllocatedSize = header.AllocatedSize;
      joined.DataSize = header.DataSize;
      joined.InitializedSize = header.InitializedSize;
    }
    // An empty attribute's last VCN is -1: its range ends where it starts.
    const uint64_t end = header.LastVcn + 1;
    if (end < header.FirstVcn) RefuseGap("piece " + std::to_string(i) + " ends before it starts");
    AppendRuns(joined.Runs, DecodeRunList(RunListBytes(piece), totalClusters), end - header.FirstVcn);
    joined.VcnCount = end;
  }
  return joined;
}

void CheckDataSize(const JoinedExtents& extents, uint32_t bytesPerCluster) {
  const uint64_t clustersNeeded = extents.DataSize / bytesPerCluster + (extents.DataSize % bytesPerCluster != 0);
  if (extents.DataSize > extents.AllocatedSize || clustersNeeded > extents.VcnCount) {
    throw EngineError(messages::DataSizeBeyondClusters,
                      "data size " + std::to_string(extents.DataSize) + ", allocated " +
                          std::to_string(extents.AllocatedSize) + ", VCN range " + std::to_string(extents.VcnCount) +
                          " clusters");
  }
}

}  // namespace salvoran
