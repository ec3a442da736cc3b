// Decodes one compression unit and holds the decoder to a plain reading of the format, written
// for clarity rather than speed: the same bytes, the same end, the same refusals.
// Input: a byte choosing the unit's size, then the unit's stored bytes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <optional>
#include <vector>

#include "engine/EngineError.h"
#include "engine/Lznt1.h"

using namespace salvoran;

namespace {

// Units of 16 clusters of 512 to 4096 bytes, and sizes no driver uses.
constexpr size_t UnitSizes[] = {8192, 16384, 32768, 65536, 4096, 1000};
constexpr std::byte Stale{0xA5};
constexpr size_t HeaderSize = 2;
constexpr unsigned DataSizeMask = 0x0FFF;
constexpr unsigned CompressedFlag = 0x8000;
constexpr unsigned TokensPerFlag = 8;
constexpr unsigned ReferenceBits = 16;
constexpr size_t ReferenceSize = 2;
constexpr unsigned FirstOffsetBits = 4;
constexpr size_t ShortestCopy = 3;

void Require(bool condition) {
  if (!condition) std::abort();
}

struct PlainUnit {
  std::vector<uint8_t> Bytes;
  size_t End = 0;
};

std::optional<PlainUnit> PlainDecode(const uint8_t* stored, size_t size, size_t unitSize) {
  PlainUnit unit{std::vector<uint8_t>(unitSize, 0), 0};
  size_t at = 0;
  for (size_t base = 0; base < unitSize && at < size; base += Lznt1ChunkSize) {
    const unsigned header = stored[at] | (at + 1 < size ? stored[at + 1] << 8 : 0u);
    if (header == 0) break;
    const size_t dataEnd = at + HeaderSize + (header & DataSizeMask) + 1;
    if (dataEnd > size) return std::nullopt;
    const size_t room = std::min(Lznt1ChunkSize, unitSize - base);
    uint8_t* out = unit.Bytes.data() + base;
    size_t pos = 0;
    size_t in = at + HeaderSize;
    if ((header & CompressedFlag) == 0) {
      if (dataEnd - in > room) return std::nullopt;
      for (; in < dataEnd; ++in) out[pos++] = stored[in];
    }
    while (in < dataEnd) {
      const unsigned flags = stored[in++];
      for (unsigned bit = 0; bit < TokensPerFlag && in < dataEnd; ++bit) {
        if ((flags >> bit & 1) == 0) {
          if (pos == room) return std::nullopt;
          out[pos++] = stored[in++];
          continue;
        }
        if (in + 1 >= dataEnd || pos == 0) return std::nullopt;
        const unsigned token = stored[in] | stored[in + 1] << 8;
        in += ReferenceSize;
        unsigned offsetBits = FirstOffsetBits;
        while ((size_t{1} << offsetBits) < pos) ++offsetBits;
        const unsigned lengthBits = ReferenceBits - offsetBits;
        const size_t offset = (token >> lengthBits) + 1;
        const size_t length = (token & ((1u << lengthBits) - 1)) + ShortestCopy;
        if (offset > pos || length > room - pos) return std::nullopt;
        for (size_t k = 0; k < length; ++k, ++pos) out[pos] = out[pos - offset];
      }
    }
    unit.End = base + pos;
    at = dataEnd;
  }
  return unit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const size_t unitSize = UnitSizes[data[0] % std::size(UnitSizes)];
  const ByteView stored(reinterpret_cast<const std::byte*>(data + 1), size - 1);
  std::vector<std::byte> unit(unitSize, Stale);
  std::optional<size_t> end;
  try {
    end = DecompressLznt1Unit(stored, unit);
  } catch (const EngineError&) {
  }
  const std::optional<PlainUnit> expected = PlainDecode(data + 1, size - 1, unitSize);
  Require(end.has_value() == expected.has_value());
  if (!end) return 0;
  Require(*end == expected->End);
  Require(std::memcmp(unit.data(), expected->Bytes.data(), unitSize) == 0);
  return 0;
}
