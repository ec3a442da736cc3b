#include "engine/carving/BmpCheck.h"

#include <array>
#include <cstdlib>

#include "engine/carving/ByteOrder.h"

namespace salvoran::carving {
namespace {

constexpr size_t FileHeaderBytes = 14;
// The file header and the information header up to its compression field (the old OS/2 header
// is shorter; its bytes past the header are read but not used).
constexpr size_t HeadersBytes = FileHeaderBytes + 20;
constexpr uint32_t CoreHeaderBytes = 12;  // the old OS/2 header: 16-bit dimensions
constexpr std::array<uint32_t, 7> InfoHeaderSizes = {12, 40, 52, 56, 64, 108, 124};
constexpr std::array<uint32_t, 6> BitDepths = {1, 4, 8, 16, 24, 32};
constexpr std::array<uint32_t, 3> UncompressedKinds = {0, 3, 6};  // plain, bit fields, alpha bit fields
constexpr uint32_t MaxCompression = 13;

bool OneOf(uint32_t value, std::span<const uint32_t> values) {
  for (const uint32_t v : values)
    if (v == value) return true;
  return false;
}

class BmpCheck final : public FormatCheck {
 public:
  std::string_view Extension() const override { return "bmp"; }

 private:
  Step Start() override { return Read(HeadersBytes); }

  Step OnRead(ByteView bytes) override {
    const uint64_t fileSize = ReadLE<uint32_t>(bytes, 2);
    const uint32_t reserved = ReadLE<uint32_t>(bytes, 6);
    const uint64_t pixelOffset = ReadLE<uint32_t>(bytes, 10);
    const uint32_t infoSize = ReadLE<uint32_t>(bytes, 14);
    if (!StartsWith(bytes, "BM") || reserved != 0 || !OneOf(infoSize, InfoHeaderSizes)) return Broken();
    const bool core = infoSize == CoreHeaderBytes;
    const int64_t width = core ? ReadLE<uint16_t>(bytes, 18) : ReadLE<int32_t>(bytes, 18);
    const int64_t height = core ? ReadLE<uint16_t>(bytes, 20) : ReadLE<int32_t>(bytes, 22);
    const uint32_t planes = core ? ReadLE<uint16_t>(bytes, 22) : ReadLE<uint16_t>(bytes, 26);
    const uint32_t depth = core ? ReadLE<uint16_t>(bytes, 24) : ReadLE<uint16_t>(bytes, 28);
    const uint32_t compression = core ? 0 : ReadLE<uint32_t>(bytes, 30);
    if (width <= 0 || height == 0 || planes != 1 || !OneOf(depth, BitDepths) || compression > MaxCompression)
      return Broken();
    if (fileSize < HeadersBytes || pixelOffset < FileHeaderBytes + infoSize || pixelOffset >= fileSize) return Broken();
    if (OneOf(compression, UncompressedKinds)) {
      // Rows are padded to four bytes; the pixels must fit before the file's end.
      const uint64_t rowBytes = (static_cast<uint64_t>(width) * depth + 31) / 32 * 4;
      const uint64_t rows = static_cast<uint64_t>(std::llabs(height));
      if (rowBytes > (fileSize - pixelOffset) / rows) return Broken();
    }
    fileSize_ = fileSize;
    return Pass(fileSize - HeadersBytes);
  }

  Step AfterPass() override { return End(fileSize_); }

  uint64_t fileSize_ = 0;
};

}  // namespace

std::unique_ptr<FormatCheck> MakeBmpCheck() { return std::make_unique<BmpCheck>(); }

}  // namespace salvoran::carving
