#pragma once

#include <cstdint>

#include "engine/ByteView.h"

namespace salvoran::carving {

// CRC-32 as PNG and ZIP compute it, continued over more bytes (start from 0).
uint32_t UpdateCrc32(uint32_t crc, ByteView bytes);

}  // namespace salvoran::carving
