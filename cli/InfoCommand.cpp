#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "cli/SourceChoice.h"
#include "cli/TerminalText.h"
#include "engine/DiskLayout.h"
#include "cli/ProgressLine.h"
#include "engine/BootSectorFinder.h"
#include "engine/OpeningPhase.h"
#include "engine/VolumeRepair.h"
#include "engine/WholeSourceRead.h"
#include "support/FormatFileSize.h"
#include "support/Messages.h"

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

// Which of a found volume's two boot sectors are whole.
const char* BootSectorsText(const FoundVolume& volume) {
  if (volume.PrimaryWhole && volume.BackupWhole) return "primary and backup";
  return volume.PrimaryWhole ? "primary only" : "backup only";
}

// Reads the whole source for NTFS boot sectors and lists the volumes they name.
int PrintFoundVolumes(const std::string& source) {
  OpenResult opened = OpenSource(source);
  if (!opened.Volume) {
    std::fprintf(stderr, "%s\n", TerminalText(OpenFailureText(messages::OpenToScanFailed, opened)).c_str());
    return UsageOrSourceError;
  }
  SerializedVolume volume(*opened.Volume);
  BootSectorFinder finder;
  SourceBlockConsumer* consumers[] = {&finder};
  ProgressLine progress("Reading", ProgressUnit::Bytes);
  progress.Start(volume.Size());
  const SourcePassSummary pass = ReadWholeSource(volume, consumers, [&](uint64_t bytesRead) {
    progress.Update(bytesRead);
    return true;
  });
  progress.Clear();
  const std::vector<FoundVolume> volumes = finder.Volumes(volume);
  std::printf("Volumes found:        %zu\n", volumes.size());
  std::printf("  %14s  %12s  %7s  %-18s  %s\n", "Offset", "Size", "Cluster", "Boot sectors", "Label");
  for (const FoundVolume& found : volumes) {
    std::printf("  %14llu  %12s  %7u  %-18s  %s\n", static_cast<unsigned long long>(found.Offset),
                FormatFileSize(static_cast<int64_t>(found.Size)).c_str(), found.Boot.BytesPerCluster,
                BootSectorsText(found), TerminalText(found.Label).c_str());
  }
  if (pass.UnreadableBytes > 0) {
    std::fprintf(stderr, "%llu bytes of the source could not be read and were taken as zeros.\n",
                 static_cast<unsigned long long>(pass.UnreadableBytes));
  }
  return AllWell;
}

}  // namespace

int RunInfo(const std::string& source, uint32_t partition, bool deep) {
  std::optional<PartitionTable> table;
  if (!ReadSourceTable(source, table)) return UsageOrSourceError;
  std::printf("Source:               %s\n", TerminalText(source).c_str());
  if (table) {
    std::printf("Partition table:      %s\n", TerminalText(table->Kind).c_str());
    PrintPartitionTable(stdout, *table, false);
    // The table is what there is to show of a disk whose volume is not chosen yet.
    if (partition == NoPartitionGiven && NtfsPartitions(*table).size() != 1) {
      if (deep) return PrintFoundVolumes(source);
      std::printf("Give --partition N for the geometry of one of them.\n");
      return AllWell;
    }
  }
  // A deep look needs no volume at the start of the source: it is what may be lost.
  const std::optional<VolumeLocation> volume = ChooseVolume(source, table, partition);
  if (!volume) return deep ? PrintFoundVolumes(source) : UsageOrSourceError;
  VolumeGeometry geometry;
  geometry.DrivePath = *volume;
  try {
    ReadVolumeGeometry(*OpenVolumeToScan(*volume), geometry);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    if (deep) return PrintFoundVolumes(source);
    return UsageOrSourceError;
  }
  PrintGeometry(geometry);
  return deep ? PrintFoundVolumes(source) : AllWell;
}

}  // namespace salvoran::cli
