// The scan engine alone on an NTFS image: the best of several whole scans, with an observer that
// only counts, so the figure leaves out what a front end does with the files. Beside the time it
// gives the processor time of the whole process and of the scan's own thread, which hands the
// files over in order and reads and decodes slices of the MFT like the other threads.
//   scan_bench IMAGE [RUNS]
#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"

namespace salvoran {
namespace {

constexpr int DefaultRuns = 5;

class CountingObserver : public ScanObserver {
 public:
  void ScanStarted(const VolumeGeometry&) override {}
  void Progress(int32_t) override {}
  bool StopRequested() override { return false; }
  void FileFound(FoundFile&& file) override {
    ++Files;
    FolderBytes += file.Folder.size();
  }
  int64_t Files = 0;
  uint64_t FolderBytes = 0;
};

double CpuSeconds(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int Run(const char* image, int runs) {
  double best = 0;
  double bestProcess = 0;
  double bestScanThread = 0;
  for (int run = 0; run < runs; ++run) {
    CountingObserver observer;
    VolumeGeometry geometry;
    const double processStart = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
    const double scanThreadStart = CpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    const auto start = std::chrono::steady_clock::now();
    const ScanSummary summary = ScanDrive(VolumeLocation(image), geometry, observer);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double process = CpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - processStart;
    const double scanThread = CpuSeconds(CLOCK_THREAD_CPUTIME_ID) - scanThreadStart;
    if (run == 0 || took.count() < best) best = took.count();
    if (run == 0 || process < bestProcess) bestProcess = process;
    if (run == 0 || scanThread < bestScanThread) bestScanThread = scanThread;
    if (run == 0) {
      std::printf("%d records, %d unreadable, %lld files listed\n", summary.RecordsScanned, summary.UnreadableRecords,
                  static_cast<long long>(observer.Files));
    }
  }
  std::printf("scan, best of %d: %.3f s; processor time %.3f s, of it %.3f s on the scan's thread\n", runs, best,
              bestProcess, bestScanThread);
  return 0;
}

}  // namespace
}  // namespace salvoran

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: scan_bench IMAGE [RUNS]\n");
    return 2;
  }
  try {
    return salvoran::Run(argv[1], argc > 2 ? std::atoi(argv[2]) : salvoran::DefaultRuns);
  } catch (const salvoran::EngineError& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
}
