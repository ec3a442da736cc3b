#include "engine/VolumeWindow.h"

#include <algorithm>
#include <limits>

namespace salvoran {

VolumeWindow::VolumeWindow(std::unique_ptr<VolumeSource> disk, uint64_t offset, uint64_t size)
    : VolumeWindow(*disk, offset, size) {
  ownedDisk_ = std::move(disk);
}

VolumeWindow::VolumeWindow(VolumeSource& disk, uint64_t offset, uint64_t size)
    : disk_(disk), offset_(offset), size_(size) {
  // Checked once here, so that no read below can wrap around.
  const uint64_t limit = disk_.Size() != 0 ? disk_.Size() : std::numeric_limits<uint64_t>::max();
  size_ = offset_ >= limit ? 0 : std::min(size_, limit - offset_);
}

ReadOutcome VolumeWindow::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  if (offset >= size_) return {};
  const size_t count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size_ - offset));
  return disk_.ReadAt(offset_ + offset, buffer.first(count));
}

void VolumeWindow::WillRead(uint64_t offset, uint64_t length) {
  if (offset >= size_) return;
  disk_.WillRead(offset_ + offset, std::min(length, size_ - offset));
}

}  // namespace salvoran
