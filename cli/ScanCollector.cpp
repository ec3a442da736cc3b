#include "cli/ScanCollector.h"

#include <cstdio>
#include <exception>

#include "cli/TerminalText.h"
#include "engine/DeepScan.h"
#include "engine/VolumeRepair.h"
#include "support/Messages.h"

namespace salvoran::cli {

void ScanCollector::ScanStarted(const VolumeGeometry& geometry) {
  PrintRepairNotes(geometry);
  progress_.Start(static_cast<uint64_t>(geometry.RecordCount));
  sink_.Started(geometry);
}

void ScanCollector::Progress(int32_t recordIndex) {
  if (showProgress_) progress_.Update(static_cast<uint64_t>(recordIndex));
}

void ScanCollector::DeepPassStarted(uint64_t sourceBytes) {
  progress_.Clear();
  deepProgress_.Start(sourceBytes);
}

void ScanCollector::DeepPassProgress(uint64_t bytesRead, uint64_t filesFound) {
  if (showProgress_) deepProgress_.Update(bytesRead, ", " + std::to_string(filesFound) + " files found");
}

void PrintRepairNotes(const VolumeGeometry& geometry) {
  for (const std::string_view note : RepairNotes(geometry.RepairedFrom)) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(note.size()), note.data());
  }
}

bool CollectScan(const VolumeLocation& volume, VolumeGeometry& geometry, ScanCollector& collector,
                 ScanSummary& summary, bool deep, CarvingOutcome* carving) {
  try {
    if (!deep) {
      summary = ScanDrive(volume, geometry, collector);
      collector.EndProgress();
      return true;
    }
    const DeepScanSummary deepSummary = DeepScanDrive(volume, geometry, collector);
    collector.EndProgress();
    summary = deepSummary.Mft;
    if (carving) *carving = {deepSummary.CarvedFiles, deepSummary.CarvingDropped};
    if (!deepSummary.MftFailure.empty()) {
      std::fprintf(stderr, "%s\n%s\n", TerminalText(deepSummary.MftFailure).c_str(),
                   std::string(messages::DeepScanWithoutMft).c_str());
    }
    if (deepSummary.Pass.UnreadableBytes > 0) {
      std::fprintf(stderr, "%llu bytes of the source could not be read and were taken as zeros.\n",
                   static_cast<unsigned long long>(deepSummary.Pass.UnreadableBytes));
    }
    return true;
  } catch (const std::exception& error) {
    collector.EndProgress();
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return false;
  }
}

}  // namespace salvoran::cli
