#include "engine/VolumeSource.h"

#include <algorithm>
#include <cstring>

namespace salvoran {

ReadOutcome SerializedVolume::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  if (concurrent_) return inner_.ReadAt(offset, buffer);
  const std::lock_guard lock(mutex_);
  return inner_.ReadAt(offset, buffer);
}

ReadOutcome MemoryVolume::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  if (offset >= bytes_.size()) return {};
  const size_t count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), bytes_.size() - offset));
  std::memcpy(buffer.data(), bytes_.data() + offset, count);
  return {count, 0};
}

}  // namespace salvoran
