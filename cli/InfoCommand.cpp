#include <cstdio>
#include <exception>

#include "cli/Commands.h"
#include "cli/TerminalText.h"
#include "engine/OpeningPhase.h"

namespace salvoran::cli {

int RunInfo(const std::string& source) {
  VolumeGeometry geometry;
  geometry.DrivePath = source;
  try {
    ReadVolumeGeometry(*OpenVolumeToScan(source), geometry);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return UsageOrSourceError;
  }
  std::printf("Source:               %s\n", TerminalText(geometry.DrivePath).c_str());
  std::printf("Bytes per sector:     %u\n", geometry.BytesPerSector);
  std::printf("Sectors per cluster:  %u\n", geometry.SectorsPerCluster);
  std::printf("Bytes per cluster:    %u\n", geometry.BytesPerCluster);
  std::printf("File record size:     %u\n", geometry.FileRecordSize);
  std::printf("Volume clusters:      %llu\n", static_cast<unsigned long long>(geometry.TotalClusters));
  std::printf("MFT offset:           %lld\n", static_cast<long long>(geometry.MftOffset));
  std::printf("MFT clusters:         %lld\n", static_cast<long long>(geometry.MftClusterCount));
  std::printf("MFT runs:             %zu\n", geometry.Mft.Extents().size());
  std::printf("Records:              %d\n", geometry.RecordCount);
  return AllWell;
}

}  // namespace salvoran::cli
