// Takes the input as a base record's MFT index (4 bytes) and then the MFT's records of 1024 bytes,
// and gathers that file's attributes across the records its attribute list names, then joins the
// pieces of each of its streams as recovery does. A non-resident list is read from the same
// bytes, taken as 512-byte clusters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <vector>

#include "engine/AttributeHeader.h"
#include "engine/DataExtents.h"
#include "engine/EngineError.h"
#include "engine/FileAttributes.h"
#include "engine/FileRecord.h"
#include "engine/VolumeRecordFetcher.h"

using namespace salvoran;

namespace {

constexpr size_t IndexBytes = 4;
constexpr uint32_t RecordBytes = 1024;
constexpr uint32_t ClusterBytes = 512;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < IndexBytes + RecordBytes) return 0;
  const auto* bytes = reinterpret_cast<const std::byte*>(data);
  MemoryVolume volume(std::vector<std::byte>(bytes + IndexBytes, bytes + size));
  VolumeGeometry geometry;
  geometry.FileRecordSize = RecordBytes;
  geometry.BytesPerCluster = ClusterBytes;
  geometry.TotalClusters = volume.Size() / ClusterBytes;
  geometry.Mft = MftMap({{geometry.TotalClusters, 0, false}}, ClusterBytes);
  VolumeRecordFetcher fetcher(volume, geometry);

  const uint64_t records = volume.Size() / RecordBytes;
  const uint64_t index = ReadLE<uint32_t>(ByteView(bytes, IndexBytes), 0) % records;
  std::vector<std::byte> base;
  if (!fetcher.FetchRecord(index, base)) return 0;
  const FileState state = (RecordFlags(base) & RecordInUse) ? FileState::Live : FileState::Deleted;
  const FileAttributes file = GatherFileAttributes(base, index, fetcher, state);
  (void)file.Encrypted();
  for (const DataStream& stream : file.Streams()) {
    (void)stream.Size();
    if (stream.Pieces.empty() || !IsNonResident(stream.Pieces.front())) continue;
    try {
      const JoinedExtents joined = JoinDataExtents(stream.Pieces, geometry.TotalClusters);
      // The joined runs cover the VCN range exactly, no more and no less.
      uint64_t clusters = 0;
      ExtentRuns runs(joined.Pieces, geometry.TotalClusters);
      for (std::optional<DataRun> run = runs.Next(); run; run = runs.Next()) {
        if (run->ClusterCount == 0 || __builtin_add_overflow(clusters, run->ClusterCount, &clusters)) std::abort();
      }
      if (clusters != joined.VcnCount) std::abort();
      CheckDataSize(joined, ClusterBytes);
    } catch (const EngineError&) {
    }
  }
  return 0;
}
