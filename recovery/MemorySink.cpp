#include "recovery/MemorySink.h"

#include <algorithm>

namespace salvoran {

uint64_t MemorySink::Dropped(uint64_t count) const {
  return position_ >= firstKept_ ? 0 : std::min(count, firstKept_ - position_);
}

void MemorySink::Write(std::span<const std::byte> bytes) {
  const uint64_t dropped = Dropped(bytes.size());
  bytes_.insert(bytes_.end(), bytes.begin() + static_cast<ptrdiff_t>(dropped), bytes.end());
  position_ += bytes.size();
}

void MemorySink::Skip(uint64_t count) {
  bytes_.resize(bytes_.size() + static_cast<size_t>(count - Dropped(count)));
  position_ += count;
}

void MemorySink::Commit(uint64_t length) {
  bytes_.resize(length > firstKept_ ? static_cast<size_t>(length - firstKept_) : 0);
}

}  // namespace salvoran
