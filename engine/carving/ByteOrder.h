#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "engine/ByteView.h"

namespace salvoran::carving {

// Big-endian unsigned value of `width` (at most 8) bytes at `offset`; bytes beyond the view
// count as zero, as ReadLittleEndian does.
constexpr uint64_t ReadBigEndian(ByteView bytes, size_t offset, size_t width) {
  uint64_t value = 0;
  for (size_t i = 0; i < width; ++i) {
    const bool inside = offset < bytes.size() && i < bytes.size() - offset;
    value = value << 8 | (inside ? std::to_integer<uint8_t>(bytes[offset + i]) : 0u);
  }
  return value;
}

template <typename T>
constexpr T ReadBE(ByteView bytes, size_t offset) {
  return static_cast<T>(ReadBigEndian(bytes, offset, sizeof(T)));
}

constexpr uint8_t ByteAt(ByteView bytes, size_t offset) {
  return offset < bytes.size() ? std::to_integer<uint8_t>(bytes[offset]) : 0;
}

// True when the view starts with these characters.
constexpr bool StartsWith(ByteView bytes, std::string_view text) {
  if (bytes.size() < text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (std::to_integer<char>(bytes[i]) != text[i]) return false;
  }
  return true;
}

}  // namespace salvoran::carving
