#include "cli/ByteSpool.h"

#include <algorithm>
#include <cstring>

namespace salvoran::cli {
namespace {

constexpr size_t BlockBytes = size_t{256} << 10;

}  // namespace

void ByteSpool::Append(const void* bytes, size_t count) {
  const auto* from = static_cast<const std::byte*>(bytes);
  while (count > 0) {
    const size_t offset = size_ % BlockBytes;
    if (offset == 0 && size_ / BlockBytes == blocks_.size()) {
      blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(BlockBytes));
    }
    const size_t piece = std::min(count, BlockBytes - offset);
    std::memcpy(blocks_[size_ / BlockBytes].get() + offset, from, piece);
    from += piece;
    count -= piece;
    size_ += piece;
  }
}

bool ByteSpool::Reader::Read(void* bytes, size_t count) {
  if (count > spool_.size_ - position_) return false;
  auto* to = static_cast<std::byte*>(bytes);
  while (count > 0) {
    const size_t offset = position_ % BlockBytes;
    const size_t piece = std::min(count, BlockBytes - offset);
    std::memcpy(to, spool_.blocks_[position_ / BlockBytes].get() + offset, piece);
    to += piece;
    count -= piece;
    position_ += piece;
  }
  return true;
}

}  // namespace salvoran::cli
