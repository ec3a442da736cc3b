#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace salvoran {

using ByteView = std::span<const std::byte>;
using MutableByteView = std::span<std::byte>;

// Little-endian unsigned value of `width` (at most 8) bytes at `offset`. Bytes that lie beyond
// the view count as zero, so a short attribute reads as if it were padded.
constexpr uint64_t ReadLittleEndian(ByteView bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    if (offset >= bytes.size() || i >= bytes.size() - offset) break;
    value |= static_cast<uint64_t>(std::to_integer<uint8_t>(bytes[offset + i])) << (8 * i);
  }
  return value;
}

template <typename T>
constexpr T ReadLE(ByteView bytes, size_t offset) {
  return static_cast<T>(ReadLittleEndian(bytes, offset, sizeof(T)));
}

// True when [offset, offset + length) lies inside a buffer of `size` bytes, without overflow.
constexpr bool RangeFits(size_t size, uint64_t offset, uint64_t length) {
  return offset <= size && length <= size - offset;
}

}  // namespace salvoran
