#pragma once

#include <cstddef>

#include "engine/ByteView.h"

namespace salvoran {

// NTFS compresses a file unit by unit; each unit's stored bytes are a sequence of LZNT1 chunks
// that expand to at most 4096 bytes each.
inline constexpr size_t Lznt1ChunkSize = 4096;

// Expands the chunks of one compression unit into unit, in order, until a chunk header of 0, the
// end of the stored bytes or a full unit (what follows is the slack of the last cluster). Chunk n
// expands at byte n × 4096 of the unit, whatever the one before it produced. Bytes of unit that
// no chunk reaches are set to zero. Answers where the last chunk's bytes end. Throws EngineError
// (the stored byte in its detail) when a chunk does not decode: a chunk that runs past the stored
// bytes, a back-reference before the start of its chunk or cut off by its end, a chunk that
// expands past 4096 bytes, or output that would not fit the unit.
size_t DecompressLznt1Unit(ByteView stored, MutableByteView unit);

}  // namespace salvoran
