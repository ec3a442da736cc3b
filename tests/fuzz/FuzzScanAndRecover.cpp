// Takes the input as a whole volume, scans it as the command line does and restores every file
// the scan lists into a sink that only counts, so a hostile volume reaches the deepest states
// of the engine without anything being written to disk.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "recovery/ContentRecovery.h"
#include "tests/fuzz/CountingSink.h"

using namespace salvoran;

namespace {

class ListingObserver : public ScanObserver {
 public:
  void ScanStarted(const VolumeGeometry&) override {}
  void Progress(int32_t) override {}
  bool StopRequested() override { return false; }
  void FileFound(FoundFile&& file) override { Files.push_back(std::move(file)); }

  std::vector<FoundFile> Files;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::SilenceWarnings();
  MemoryVolume volume(std::vector<std::byte>(reinterpret_cast<const std::byte*>(data),
                                             reinterpret_cast<const std::byte*>(data + size)));
  VolumeGeometry geometry;
  ListingObserver observer;
  // Only the engine's own refusals are expected; anything else escaping is a finding.
  try {
    ScanOpenVolume(volume, geometry, observer);
  } catch (const EngineError&) {
    return 0;
  }
  for (const FoundFile& file : observer.Files) {
    fuzz::CountingSink sink;
    try {
      RecoverFileContent(volume, geometry, file.Data.RecordOffset, [&]() -> ContentSink& { return sink; });
    } catch (const EngineError&) {
      continue;
    }
    // What the listing promised is what a restore delivers.
    if (!sink.Committed() || sink.Length() != static_cast<uint64_t>(file.Data.FileSize)) std::abort();
  }
  return 0;
}
