#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/ScanPrinter.h"

namespace salvoran::cli {

// Hands the files to another printer on a thread of its own, so that writing the listing runs
// beside the scan instead of after each record. Files go over in batches, and only a few
// batches wait at a time: the scan waits rather than memory growing.
class PipelinedPrinter : public ScanPrinter {
 public:
  explicit PipelinedPrinter(std::unique_ptr<ScanPrinter> printer);
  ~PipelinedPrinter() override;

  void Started(const VolumeGeometry& geometry) override { printer_->Started(geometry); }
  void Add(FoundFile&& file) override;
  void Finish(const ScanSummary& summary) override;

 private:
  using Batch = std::vector<FoundFile>;
  void HandOver();
  void Print();
  void Stop();

  std::unique_ptr<ScanPrinter> printer_;
  Batch filling_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> waiting_;
  bool ended_ = false;
  std::thread thread_;
};

}  // namespace salvoran::cli
