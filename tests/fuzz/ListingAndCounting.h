#pragma once

// What the whole-volume fuzz targets scan into and restore into: the files a scan lists, and a
// sink that only counts. Content past the final length, or more than any file can hold, is a
// fault of the recovery, not of the volume; only the engine's own refusals are expected, and
// anything else escaping is a finding.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "recovery/ContentRecovery.h"
#include "recovery/ContentSink.h"
#include "support/Diagnostics.h"

namespace salvoran::fuzz {

// Warnings would show message boxes or flood the fuzzer's output: they are dropped, once.
inline void SilenceWarnings() {
  static const bool silenced = [] {
    SetWarningHandler([](std::string_view) { return 0; });
    return true;
  }();
  (void)silenced;
}

class ListingObserver : public ScanObserver {
 public:
  void ScanStarted(const VolumeGeometry&) override {}
  void Progress(int32_t) override {}
  bool StopRequested() override { return false; }
  void FileFound(FoundFile&& file) override { Files.push_back(std::move(file)); }

  std::vector<FoundFile> Files;
};

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

// Scans as the command line does; false when the engine refuses the volume.
inline bool ScanListing(VolumeSource& volume, VolumeGeometry& geometry, ListingObserver& observer) {
  try {
    ScanOpenVolume(volume, geometry, observer);
  } catch (const EngineError&) {
    return false;
  }
  return true;
}

// Restores a listed file into the sink; false when the engine refuses it. What the listing
// promised is what a restore delivers.
inline bool RestoreCounted(VolumeSource& volume, const VolumeGeometry& geometry, const FoundFile& file,
                           CountingSink& sink, std::vector<ByteRange>* unreadable = nullptr) {
  try {
    RecoverFileContent(volume, geometry, file.Data.RecordOffset, [&]() -> ContentSink& { return sink; }, {},
                       AllContent, unreadable);
  } catch (const EngineError&) {
    return false;
  }
  if (!sink.Committed() || sink.Length() != static_cast<uint64_t>(file.Data.FileSize)) std::abort();
  return true;
}

}  // namespace salvoran::fuzz
