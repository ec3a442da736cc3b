// Decodes a run list against a volume size and checks what the decoder promises its callers:
// every run with clusters lies inside the volume and together they hold no more than it.
// Input: the volume's cluster count (8 bytes, little-endian), then the run list.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <vector>

#include "engine/EngineError.h"
#include "engine/MftMap.h"
#include "engine/RunList.h"

using namespace salvoran;

namespace {

constexpr size_t ClusterCountBytes = 8;
constexpr uint32_t BytesPerCluster = 4096;

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < ClusterCountBytes) return 0;
  const auto* bytes = reinterpret_cast<const std::byte*>(data);
  const uint64_t totalClusters = ReadLE<uint64_t>(ByteView(bytes, ClusterCountBytes), 0);
  const ByteView runList(bytes + ClusterCountBytes, size - ClusterCountBytes);
  std::vector<DataRun> runs;
  try {
    runs = DecodeRunList(runList, totalClusters);
  } catch (const EngineError&) {
    return 0;
  }
  // Every run costs at least its header byte, and the list needs its end marker.
  Require(runs.size() < runList.size());
  uint64_t allocated = 0;
  bool sparse = false;
  for (const DataRun& run : runs) {
    if (run.Sparse) {
      sparse = true;
      continue;
    }
    Require(run.StartCluster <= totalClusters && run.ClusterCount <= totalClusters - run.StartCluster);
    Require(!__builtin_add_overflow(allocated, run.ClusterCount, &allocated) && allocated <= totalClusters);
  }
  // The opening phase turns an MFT's runs into byte extents on a volume it has bounded so.
  if (!sparse && totalClusters <= std::numeric_limits<int64_t>::max() / BytesPerCluster) {
    const MftMap map(runs, BytesPerCluster);
    Require(map.CoveredBytes() == allocated * BytesPerCluster);
    for (const MftMap::Extent& extent : map.Extents()) {
      Require(extent.VolumeByte + extent.Length <= totalClusters * BytesPerCluster);
      Require(map.VolumeOffsetOf(extent.MftByte + extent.Length - 1) == extent.VolumeByte + extent.Length - 1);
    }
  }
  return 0;
}
