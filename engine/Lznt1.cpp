#include "engine/Lznt1.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/EngineError.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr size_t ChunkHeaderSize = 2;
constexpr uint16_t ChunkCompressedFlag = 0x8000;
constexpr uint16_t ChunkSizeMask = 0x0FFF;
constexpr unsigned TokensPerFlagByte = 8;
constexpr size_t BackReferenceSize = 2;
constexpr unsigned BackReferenceBits = 16;
// The offset field starts this wide and widens as the chunk's history grows.
constexpr unsigned MinOffsetBits = 4;
constexpr size_t MinCopyLength = 3;
constexpr size_t CopyWordSize = 8;

[[noreturn]] void Refuse(size_t storedByte, const char* why) {
  throw EngineError(messages::CompressedDataDamaged,
                    std::string(why) + " at compressed byte " + std::to_string(storedByte));
}

// Expands the data of one compressed chunk (which starts at stored byte dataStart) into out,
// whose end is the chunk's or the unit's; answers the bytes produced.
size_t ExpandChunk(ByteView data, size_t dataStart, MutableByteView out, const char* pastOutEnd) {
  const auto* const inBegin = reinterpret_cast<const uint8_t*>(data.data());
  const uint8_t* in = inBegin;
  const uint8_t* const inEnd = inBegin + data.size();
  auto* const outBegin = reinterpret_cast<uint8_t*>(out.data());
  uint8_t* dest = outBegin;
  uint8_t* const outEnd = outBegin + out.size();
  auto storedByte = [&] { return dataStart + static_cast<size_t>(in - inBegin); };

  while (in < inEnd) {
    unsigned flags = *in++;
    for (unsigned token = 0; token < TokensPerFlagByte && in < inEnd; ++token, flags >>= 1) {
      if ((flags & 1) == 0) {
        if (dest == outEnd) Refuse(storedByte(), pastOutEnd);
        *dest++ = *in++;
        continue;
      }
      if (inEnd - in < static_cast<ptrdiff_t>(BackReferenceSize)) {
        Refuse(storedByte(), "back-reference cut off by the chunk's end");
      }
      const size_t produced = static_cast<size_t>(dest - outBegin);
      if (produced == 0) Refuse(storedByte(), "back-reference before the chunk's start");
      const unsigned reference = in[0] | (unsigned{in[1]} << 8);
      const unsigned offsetBits = std::max(MinOffsetBits, static_cast<unsigned>(std::bit_width(produced - 1)));
      const unsigned lengthBits = BackReferenceBits - offsetBits;
      const size_t offset = (reference >> lengthBits) + 1;
      const size_t length = (reference & ((1u << lengthBits) - 1)) + MinCopyLength;
      if (offset > produced) Refuse(storedByte(), "back-reference before the chunk's start");
      if (length > static_cast<size_t>(outEnd - dest)) Refuse(storedByte(), pastOutEnd);
      // The copy may read bytes it has just written (a run repeats its last offset bytes), so
      // it goes forward: by words when the source is a word or more back and the output has a
      // word to spare past the copy (what lands there is overwritten or zeroed later), else by
      // bytes. Short copies are the rule, and a call to memcpy would cost more than they do.
      const uint8_t* from = dest - offset;
      if (offset >= CopyWordSize && static_cast<size_t>(outEnd - dest) - length >= CopyWordSize) {
        for (size_t i = 0; i < length; i += CopyWordSize) std::memcpy(dest + i, from + i, CopyWordSize);
      } else {
        for (size_t i = 0; i < length; ++i) dest[i] = from[i];
      }
      dest += length;
      in += BackReferenceSize;
    }
  }
  return static_cast<size_t>(dest - outBegin);
}

}  // namespace

size_t DecompressLznt1Unit(ByteView stored, MutableByteView unit) {
  size_t position = 0;
  size_t chunkStart = 0;
  size_t produced = 0;
  // A full unit has nothing left to take; what follows is the slack of its last cluster.
  while (chunkStart < unit.size() && position < stored.size()) {
    const uint16_t header = ReadLE<uint16_t>(stored, position);
    if (header == 0) break;
    const size_t dataSize = size_t{static_cast<uint16_t>(header & ChunkSizeMask)} + 1;
    if (!RangeFits(stored.size(), position + ChunkHeaderSize, dataSize)) {
      Refuse(position, "chunk runs past the stored bytes");
    }
    const ByteView data = stored.subspan(position + ChunkHeaderSize, dataSize);
    const bool unitEndsFirst = unit.size() - chunkStart < Lznt1ChunkSize;
    const MutableByteView out = unit.subspan(chunkStart, unitEndsFirst ? unit.size() - chunkStart : Lznt1ChunkSize);
    const char* pastOutEnd = unitEndsFirst ? "output past the unit's end" : "chunk expands past 4096 bytes";

    // A chunk that expanded to less than its 4096 bytes leaves zeros up to the next one.
    std::fill(unit.begin() + produced, unit.begin() + chunkStart, std::byte{0});
    size_t length = 0;
    if (header & ChunkCompressedFlag) {
      length = ExpandChunk(data, position + ChunkHeaderSize, out, pastOutEnd);
    } else {
      if (dataSize > out.size()) Refuse(position, pastOutEnd);
      std::copy(data.begin(), data.end(), out.begin());
      length = dataSize;
    }
    produced = chunkStart + length;
    chunkStart += Lznt1ChunkSize;
    position += ChunkHeaderSize + dataSize;
  }
  std::fill(unit.begin() + produced, unit.end(), std::byte{0});
  return produced;
}

}  // namespace salvoran
