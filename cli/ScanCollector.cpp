#include "cli/ScanCollector.h"

#include <cstdio>
#include <exception>

#include "cli/TerminalText.h"
#include "engine/VolumeRepair.h"

namespace salvoran::cli {

void ScanCollector::ScanStarted(const VolumeGeometry& geometry) {
  PrintRepairNotes(geometry);
  progress_.Start(static_cast<uint64_t>(geometry.RecordCount));
  sink_.Started(geometry);
}

void ScanCollector::Progress(int32_t recordIndex) {
  if (showProgress_) progress_.Update(static_cast<uint64_t>(recordIndex));
}

void PrintRepairNotes(const VolumeGeometry& geometry) {
  for (const std::string_view note : RepairNotes(geometry.RepairedFrom)) {
    std::fprintf(stderr, "%.*s\n", static_cast<int>(note.size()), note.data());
  }
}

bool CollectScan(const VolumeLocation& volume, VolumeGeometry& geometry, ScanCollector& collector,
                 ScanSummary& summary) {
  try {
    summary = ScanDrive(volume, geometry, collector);
    collector.EndProgress();
    return true;
  } catch (const std::exception& error) {
    collector.EndProgress();
    std::fprintf(stderr, "%s\n", TerminalText(error.what()).c_str());
    return false;
  }
}

}  // namespace salvoran::cli
