#include "tests/gui/GuiTestVolume.h"

#include <algorithm>

#include "engine/DeletedFileScan.h"

namespace salvoran::test {
namespace {

constexpr uint32_t ClusterBytes = 4096;
constexpr uint32_t RecordBytes = 1024;
constexpr uint64_t MftCluster = 16;
constexpr uint64_t SpareClusters = 64;
// Larger content would not fit in a record; it is given as a sparse run, enough for a listing.
constexpr size_t LargestResidentContent = 512;

Bytes DataAttribute(const SampleFile& file, int32_t index) {
  if (file.Size <= LargestResidentContent) {
    return ResidentDataAttribute(Pattern(file.Size, static_cast<uint8_t>(index)));
  }
  const uint64_t clusters = (file.Size + ClusterBytes - 1) / ClusterBytes;
  return NonResidentDataAttribute(EncodeRunList({{clusters, 0, true}}), file.Size, clusters - 1);
}

VolumeSpec VolumeOf(const std::vector<SampleFile>& files, int32_t recordCount) {
  const int32_t records = std::max<int32_t>(recordCount, FirstUserRecord + static_cast<int32_t>(files.size()));
  const uint64_t mftClusters = (static_cast<uint64_t>(records) * RecordBytes + ClusterBytes - 1) / ClusterBytes;
  VolumeSpec spec;
  spec.BytesPerCluster = ClusterBytes;
  spec.RecordSize = RecordBytes;
  spec.MftRuns = {{mftClusters, MftCluster, false}};
  spec.TotalClusters = MftCluster + mftClusters + SpareClusters;
  int32_t index = FirstUserRecord;
  for (const SampleFile& file : files) {
    RecordSpec record = DeletedFileSpec(file.Name, DataAttribute(file, index));
    record.Attributes.front() = StandardInformationAttribute(file.Created, file.Modified);
    spec.Records[index++] = BuildRecord(record);
  }
  return spec;
}

}  // namespace

void WriteVolumeImage(const std::filesystem::path& path, const std::vector<SampleFile>& files, int32_t recordCount) {
  WriteImage(path, BuildVolume(VolumeOf(files, recordCount)));
}

void WriteTruncatedVolumeImage(const std::filesystem::path& path, const std::vector<SampleFile>& files,
                               int32_t recordCount, int32_t lastReadableRecord) {
  Bytes image = BuildVolume(VolumeOf(files, recordCount));
  // The MFT is one run, so record n starts n records after it.
  image.resize(MftCluster * ClusterBytes + (static_cast<uint64_t>(lastReadableRecord) + 1) * RecordBytes);
  WriteImage(path, image);
}

}  // namespace salvoran::test
