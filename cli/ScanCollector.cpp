#include "cli/ScanCollector.h"

#include <unistd.h>

#include <cstdio>
#include <exception>

namespace salvoran::cli {
namespace {

constexpr auto ProgressRefresh = std::chrono::milliseconds(100);

}  // namespace

ScanCollector::ScanCollector() : showProgress_(::isatty(STDERR_FILENO) == 1) {}

ScanCollector::~ScanCollector() {
  if (progressShown_) std::fputs("\r\033[K", stderr);
}

void ScanCollector::ScanStarted(const VolumeGeometry& geometry) {
  recordCount_ = geometry.RecordCount;
  started_ = lastShown_ = Clock::now();
}

void ScanCollector::Progress(int32_t recordIndex) {
  if (!showProgress_) return;
  const Clock::time_point now = Clock::now();
  if (now - lastShown_ < ProgressRefresh) return;
  lastShown_ = now;
  progressShown_ = true;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  std::fprintf(stderr, "\r\033[KScanning: %d of %d records (%.0f%%), %.0f records/s", recordIndex, recordCount_,
               100.0 * recordIndex / recordCount_, seconds > 0 ? recordIndex / seconds : 0.0);
  std::fflush(stderr);
}

bool CollectScan(const std::string& source, VolumeGeometry& geometry, ScanCollector& collector, ScanSummary& summary) {
  try {
    summary = ScanDrive(source, geometry, collector);
    return true;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return false;
  }
}

}  // namespace salvoran::cli
