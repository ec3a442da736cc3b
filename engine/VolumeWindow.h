#pragma once

#include <cstdint>
#include <memory>

#include "engine/VolumeSource.h"

namespace salvoran {

// One partition of a disk: a stretch of another source, read with offsets from its own start.
class VolumeWindow : public VolumeSource {
 public:
  // A stretch that runs past the disk's end (a cut image, a table that claims too much) ends
  // where the disk does; a disk of unknown size (0) is taken at its word.
  VolumeWindow(std::unique_ptr<VolumeSource> disk, uint64_t offset, uint64_t size);
  // A window onto a disk that outlives it.
  VolumeWindow(VolumeSource& disk, uint64_t offset, uint64_t size);

  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  uint64_t Size() const override { return size_; }
  void WillRead(uint64_t offset, uint64_t length) override;
  bool ConcurrentReads() const override { return disk_.ConcurrentReads(); }

 private:
  std::unique_ptr<VolumeSource> ownedDisk_;
  VolumeSource& disk_;
  uint64_t offset_;
  uint64_t size_;
};

}  // namespace salvoran
