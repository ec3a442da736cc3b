#pragma once

#include <vector>

#include "cli/FileFilter.h"
#include "cli/ProgressLine.h"
#include "engine/DeletedFileScan.h"

namespace salvoran::cli {

// Gathers the found files of a scan that pass the filter and, when stderr is a terminal, keeps a
// progress line there.
class ScanCollector : public ScanObserver {
 public:
  explicit ScanCollector(const FileFilter& filter) : filter_(filter) {}
  void ScanStarted(const VolumeGeometry& geometry) override;
  void Progress(int32_t recordIndex) override;
  bool StopRequested() override { return false; }
  void FileFound(FoundFile&& file) override {
    if (filter_.Matches(file)) files_.push_back(std::move(file));
  }

  std::vector<FoundFile>& Files() { return files_; }
  // Takes the progress line away once the scan has ended.
  void EndProgress() { progress_.Clear(); }

 private:
  const FileFilter& filter_;
  ProgressLine progress_{"Scanning", ProgressUnit::Records};
  std::vector<FoundFile> files_;
};

// Runs a scan of source into a collector. Prints the failure and answers false when the scan
// could not run.
bool CollectScan(const VolumeLocation& volume, VolumeGeometry& geometry, ScanCollector& collector,
                 ScanSummary& summary);

}  // namespace salvoran::cli
