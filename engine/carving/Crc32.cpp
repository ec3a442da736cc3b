#include "engine/carving/Crc32.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

namespace salvoran::carving {

uint32_t UpdateCrc32(uint32_t crc, ByteView bytes) {
  const auto* data = reinterpret_cast<const Bytef*>(bytes.data());
  size_t left = bytes.size();
  while (left > 0) {
    const uInt part = static_cast<uInt>(std::min<size_t>(left, std::numeric_limits<uInt>::max()));
    crc = static_cast<uint32_t>(crc32(crc, data, part));
    data += part;
    left -= part;
  }
  return crc;
}

}  // namespace salvoran::carving
