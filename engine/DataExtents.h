#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/ByteView.h"
#include "engine/RunList.h"

namespace salvoran {

// A non-resident attribute whose pieces (one per record that holds part of its run list) join
// into one run list in VCN order.
struct JoinedExtents {
  // From the piece that starts at VCN 0.
  uint16_t Flags = 0;
  uint8_t CompressionUnit = 0;
  uint64_t AllocatedSize = 0;
  uint64_t DataSize = 0;
  uint64_t InitializedSize = 0;
  uint64_t VcnCount = 0;               // clusters the pieces' VCN ranges cover together
  std::span<const ByteView> Pieces;  // the pieces joined; ExtentRuns walks their runs
};

// Checks that the pieces, sorted by starting VCN, join: the first must start at VCN 0 and each
// next one where the one before ends, and every run list must decode. Keeps no runs, so a file of
// millions of runs costs no memory here. Throws EngineError: the pieces do not join
// (messages::DataExtentsGap), or a run list does not decode ("Failed to read run Data.").
JoinedExtents JoinDataExtents(std::span<const ByteView> pieces, uint64_t totalClusters);

// The most clusters one file can have on any volume: Windows keeps a file's VCNs below 2^32, so
// its largest file is 16 TiB with 4 KiB clusters. A sparse file may be larger than its volume.
inline constexpr uint64_t MaxFileClusters = (uint64_t{1} << 32) - 1;

// Refuses a data size larger than the allocated size or than the clusters of the VCN range
// (EngineError messages::DataSizeBeyondClusters), or than any file of the volume can be
// (messages::DataSizeBeyondNtfs): such a record is damaged.
void CheckDataSize(const JoinedExtents& extents, uint32_t bytesPerCluster);

// The runs of joined pieces in VCN order, exactly VcnCount clusters: each piece's runs cut at
// the end of its VCN range and, where they fall short of it, followed by a hole. One piece's run
// list is decoded at a time, so memory stays that of the largest piece whatever the run count.
class ExtentRuns {
 public:
  // pieces: those of JoinedExtents, or any that follow one another in VCN order.
  ExtentRuns(std::span<const ByteView> pieces, uint64_t totalClusters) : pieces_(pieces), totalClusters_(totalClusters) {}

  // The next run, or nothing after the last.
  std::optional<DataRun> Next();

 private:
  bool DecodeNextPiece();

  std::span<const ByteView> pieces_;
  uint64_t totalClusters_;
  size_t nextPiece_ = 0;
  std::vector<DataRun> runs_;  // of the piece being walked
  size_t nextRun_ = 0;
  uint64_t clustersLeft_ = 0;  // of the piece's VCN range
};

}  // namespace salvoran
