#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "cli/SourceChoice.h"
#include "cli/TerminalText.h"
#include "engine/DiskLayout.h"
#include "engine/OpeningPhase.h"
#include "engine/VolumeRepair.h"

namespace salvoran::cli {
namespace {

void PrintGeometry(const VolumeGeometry& geometry) {
  if (const std::optional<PartitionSpan>& partition = geometry.DrivePath.Partition) {
    std::printf("Partition:            %u, at byte %llu\n", partition->Number,
                static_cast<unsigned long long>(partition->Offset));
  }
  std::printf("Bytes per sector:     %u\n", geometry.BytesPerSector);
  std::printf("Sectors per cluster:  %u\n", geometry.SectorsPerCluster);
  std::printf("Bytes per cluster:    %u\n", geometry.BytesPerCluster);
  std::printf("File record size:     %u\n", geometry.FileRecordSize);
  std::printf("Volume clusters:      %llu\n", static_cast<unsigned long long>(geometry.TotalClusters));
  std::printf("MFT offset:           %lld\n", static_cast<long long>(geometry.MftOffset));
  std::printf("MFT clusters:         %lld\n", static_cast<long long>(geometry.MftClusterCount));
  std::printf("MFT runs:             %zu\n", geometry.Mft.Extents().size());
  std::printf("Records:              %d\n", geometry.RecordCount);
  if (geometry.RepairedFrom != NotRepaired) {
    std::printf("Repaired from:        %s\n", RepairedFromText(geometry.RepairedFrom).c_str());
  }
}

}  // namespace

int RunInfo(const std::string& source, uint32_t partition) {
  std::optional<PartitionTable> table;
  if (!ReadSourceTable(source, table)) return UsageOrSourceError;
  std::printf("Source:               %s\n", TerminalText(source).c_str());
  if (table) {
    std::printf("Partition table:      %s\n", TerminalText(table->Kind).c_str());
    PrintPartitionTable(stdout, *table, false);
    // The table is what there is to show of a disk whose volume is not chosen yet.
    if (partition == NoPartitionGiven && NtfsPartitions(*table).size() != 1) {
      std::printf("Give --partition N for the geometry of one of them.\n");
      return AllWell;
    }
  }
  const std::optional<VolumeLocation> volume = ChooseVolume(source, table, partition);
  if (!volume) return UsageOrSourceError;
  VolumeGeometry geometry;
  geometry.DrivePath = *volume;
  try {
    ReadVolumeGeometry(*OpenVolumeToScan(*volume), geometry);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return UsageOrSourceError;
  }
  PrintGeometry(geometry);
  return AllWell;
}

}  // namespace salvoran::cli
