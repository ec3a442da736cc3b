#pragma once

#include <chrono>
#include <vector>

#include "engine/DeletedFileScan.h"

namespace salvoran::cli {

// Gathers the found files of a scan and, when stderr is a terminal, keeps a progress line there.
class ScanCollector : public ScanObserver {
 public:
  ScanCollector();
  ~ScanCollector() override;

  void ScanStarted(const VolumeGeometry& geometry) override;
  void Progress(int32_t recordIndex) override;
  bool StopRequested() override { return false; }
  void FileFound(FoundFile&& file) override { files_.push_back(std::move(file)); }

  std::vector<FoundFile>& Files() { return files_; }

 private:
  using Clock = std::chrono::steady_clock;
  bool showProgress_;
  bool progressShown_ = false;
  int32_t recordCount_ = 0;
  Clock::time_point started_;
  Clock::time_point lastShown_;
  std::vector<FoundFile> files_;
};

// Runs a scan of source into a collector. Prints the failure and answers false when the scan
// could not run.
bool CollectScan(const std::string& source, VolumeGeometry& geometry, ScanCollector& collector, ScanSummary& summary);

}  // namespace salvoran::cli
