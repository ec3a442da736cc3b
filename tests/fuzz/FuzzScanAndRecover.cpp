// Takes the input as a whole volume, scans it as the command line does and restores every file
// the scan lists into a sink that only counts, so a hostile volume reaches the deepest states
// of the engine without anything being written to disk.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "support/Diagnostics.h"
#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "recovery/ContentRecovery.h"

using namespace salvoran;

namespace {

// A preview's look at the start of a file: a compression unit and a bit more.
constexpr uint64_t LookBytes = 66'000;

class ListingObserver : public ScanObserver {
 public:
  void ScanStarted(const VolumeGeometry&) override {}
  void Progress(int32_t) override {}
  bool StopRequested() override { return false; }
  void FileFound(FoundFile&& file) override { Files.push_back(std::move(file)); }

  std::vector<FoundFile> Files;
};

// Counts what arrives. Content past the final length, or more than any file can hold, is a
// fault of the recovery, not of the volume.
class CountingSink : public ContentSink {
 public:
  void Write(std::span<const std::byte> bytes) override { Advance(bytes.size()); }
  void Skip(uint64_t count) override { Advance(count); }
  void Commit(uint64_t length) override {
    if (position_ > length || committed_) std::abort();
    committed_ = true;
    length_ = length;
  }

  bool Committed() const { return committed_; }
  uint64_t Length() const { return length_; }

 private:
  void Advance(uint64_t count) {
    if (committed_ || __builtin_add_overflow(position_, count, &position_)) std::abort();
  }

  uint64_t position_ = 0;
  uint64_t length_ = 0;
  bool committed_ = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetWarningHandler([](std::string_view) { return 0; });
    return true;
  }();
  (void)quiet;
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
    CountingSink sink;
    try {
      RecoverFileContent(volume, geometry, file.Data.RecordOffset, [&]() -> ContentSink& { return sink; });
    } catch (const EngineError&) {
      continue;
    }
    // What the listing promised is what a restore delivers.
    if (!sink.Committed() || sink.Length() != static_cast<uint64_t>(file.Data.FileSize)) std::abort();
    // And a look at its start gets no byte past the cut.
    CountingSink start;
    RecoverFileContent(volume, geometry, file.Data.RecordOffset, [&]() -> ContentSink& { return start; }, {},
                       LookBytes);
    if (!start.Committed() || start.Length() != std::min<uint64_t>(sink.Length(), LookBytes)) std::abort();
  }
  return 0;
}
