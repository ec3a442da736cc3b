#include "engine/DataExtents.h"

#include <algorithm>
#include <string>

#include "engine/AttributeHeader.h"
#include "engine/EngineError.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

[[noreturn]] void RefuseGap(const std::string& why) { throw EngineError(messages::DataExtentsGap, why); }

// An empty attribute's last VCN is -1: its range ends where it starts.
uint64_t VcnRangeOf(const NonResidentHeader& header) { return header.LastVcn + 1 - header.FirstVcn; }

}  // namespace

JoinedExtents JoinDataExtents(std::span<const ByteView> pieces, uint64_t totalClusters) {
  JoinedExtents joined;
  joined.Pieces = pieces;
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
    const uint64_t end = header.LastVcn + 1;
    if (end < header.FirstVcn) RefuseGap("piece " + std::to_string(i) + " ends before it starts");
    // Decoded to be checked only: ExtentRuns decodes each piece again as it comes to it.
    DecodeRunList(RunListBytes(piece), totalClusters);
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
  if (clustersNeeded > MaxFileClusters) {
    throw EngineError(messages::DataSizeBeyondNtfs, "data size " + std::to_string(extents.DataSize));
  }
}

bool ExtentRuns::DecodeNextPiece() {
  if (nextPiece_ == pieces_.size()) return false;
  const ByteView piece = pieces_[nextPiece_++];
  runs_ = DecodeRunList(RunListBytes(piece), totalClusters_);
  nextRun_ = 0;
  clustersLeft_ = VcnRangeOf(ReadNonResidentHeader(piece));
  return true;
}

std::optional<DataRun> ExtentRuns::Next() {
  while (clustersLeft_ == 0) {
    if (!DecodeNextPiece()) return std::nullopt;
  }
  while (nextRun_ < runs_.size()) {
    DataRun run = runs_[nextRun_++];
    run.ClusterCount = std::min(run.ClusterCount, clustersLeft_);
    if (run.ClusterCount == 0) continue;
    clustersLeft_ -= run.ClusterCount;
    return run;
  }
  // The piece's runs fall short of its VCN range: the rest is a hole.
  const DataRun hole{clustersLeft_, 0, true};
  clustersLeft_ = 0;
  return hole;
}

}  // namespace salvoran
