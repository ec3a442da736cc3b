#include "engine/SourceSurvey.h"

#include "engine/DiskLayout.h"
#include "engine/VolumeWindow.h"

namespace salvoran {

void SurveySource(VolumeSource& source, const VolumeLocation& location, const VolumeGeometry* scanned,
                  SourceSurvey& survey) {
  FoundRecordContext& context = survey.Context;
  context.SourcePath = location.Path;
  context.SourceSize = source.Size();
  if (scanned) {
    const uint64_t offset = location.Partition ? location.Partition->Offset : 0;
    VolumeWindow volume(source, offset, location.Partition ? location.Partition->Size : source.Size());
    survey.InUse.AddScannedVolume(volume, *scanned, offset);
    context.Scanned = scanned;
    context.ScannedOffset = offset;
    context.ScannedSize = volume.Size();
  }
  // Each of the table's other NTFS partitions has an MFT of its own, scanned on its own.
  if (const std::optional<PartitionTable> table = ReadDiskLayout(source)) {
    for (const DiskPartition& partition : table->Partitions) {
      if (partition.IsNtfs && partition.Span != location.Partition) {
        survey.InUse.AddOtherVolume(partition.Span.Offset, partition.Span.Size);
      }
    }
  }
}

}  // namespace salvoran
