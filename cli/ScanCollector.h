#pragma once

#include "cli/CarvingSummary.h"
#include "cli/FileFilter.h"
#include "cli/ProgressLine.h"
#include "engine/DeletedFileScan.h"

namespace salvoran::cli {

// Where the files a scan lists go, one at a time as the scan finds them: no output needs them
// all at once, so memory does not grow with the volume.
class ListedFileSink {
 public:
  virtual ~ListedFileSink() = default;
  // Once the volume's geometry is known, before the first file.
  virtual void Started(const VolumeGeometry&) {}
  virtual void Add(FoundFile&& file) = 0;
};

// Hands the found files of a scan that pass the filter on to a sink and, when stderr is a
// terminal and showProgress, keeps a progress line there.
class ScanCollector : public ScanObserver {
 public:
  ScanCollector(const FileFilter& filter, ListedFileSink& sink, bool showProgress = true)
      : filter_(filter), sink_(sink), showProgress_(showProgress) {}
  // Says on stderr which copies stood in for a damaged boot sector or MFT head.
  void ScanStarted(const VolumeGeometry& geometry) override;
  void Progress(int32_t recordIndex) override;
  bool StopRequested() override { return false; }
  void FileFound(FoundFile&& file) override {
    if (filter_.Matches(file)) sink_.Add(std::move(file));
  }
  void DeepPassStarted(uint64_t sourceBytes) override;
  void DeepPassProgress(uint64_t bytesRead, uint64_t filesFound) override;

  // Takes the progress line away once the scan has ended.
  void EndProgress() {
    progress_.Clear();
    deepProgress_.Clear();
  }

 private:
  const FileFilter& filter_;
  ListedFileSink& sink_;
  bool showProgress_;
  ProgressLine progress_{"Scanning", ProgressUnit::Records};
  ProgressLine deepProgress_{"Deep scan", ProgressUnit::Bytes};
};

// The lines that say which copies stood in for a damaged boot sector or MFT head, on stderr.
void PrintRepairNotes(const VolumeGeometry& geometry);

// Runs a scan of source into a collector; with deep, the deep scan, whose notes (an MFT that
// could not be scanned, bytes that could not be read) go to stderr, and what its carving gave to
// carving when given. Prints the failure and answers false when the scan could not run.
bool CollectScan(const VolumeLocation& volume, VolumeGeometry& geometry, ScanCollector& collector,
                 ScanSummary& summary, bool deep = false, CarvingOutcome* carving = nullptr);

}  // namespace salvoran::cli
