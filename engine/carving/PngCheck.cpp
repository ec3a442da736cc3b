#include "engine/carving/PngCheck.h"

#include "engine/carving/ByteOrder.h"
#include "engine/carving/Crc32.h"

namespace salvoran::carving {
namespace {

constexpr std::string_view Signature("\x89PNG\r\n\x1A\n", 8);
constexpr size_t ChunkHeaderBytes = 8;
constexpr size_t CrcBytes = 4;
constexpr uint32_t MaxChunkLength = 0x7FFFFFFF;
constexpr uint32_t HeaderChunkLength = 13;

bool IsChunkType(ByteView type) {
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t c = ByteAt(type, i);
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))) return false;
  }
  return true;
}

class PngCheck final : public FormatCheck {
 public:
  std::string_view Extension() const override { return "png"; }

 private:
  enum class Expect { Signature, ChunkHeader, Crc };

  Step Start() override { return Read(Signature.size()); }

  Step OnRead(ByteView bytes) override {
    switch (expect_) {
      case Expect::Signature:
        if (!StartsWith(bytes, Signature)) return Broken();
        expect_ = Expect::ChunkHeader;
        return Read(ChunkHeaderBytes);
      case Expect::ChunkHeader: {
        const uint32_t length = ReadBE<uint32_t>(bytes, 0);
        const ByteView type = bytes.subspan(4, 4);
        if (length > MaxChunkLength || !IsChunkType(type)) return Broken();
        const bool header = StartsWith(type, "IHDR");
        // IHDR comes first and once, IEND is empty, image data comes before the end.
        if (header != (chunks_ == 0) || (header && length != HeaderChunkLength)) return Broken();
        ending_ = StartsWith(type, "IEND");
        if (ending_ && (length != 0 || !sawData_)) return Broken();
        sawData_ = sawData_ || StartsWith(type, "IDAT");
        ++chunks_;
        crc_ = UpdateCrc32(0, type);
        expect_ = Expect::Crc;
        return Pass(length);
      }
      case Expect::Crc:
        if (ReadBE<uint32_t>(bytes, 0) != crc_) return Broken();
        if (ending_) return End(Position() + CrcBytes);
        expect_ = Expect::ChunkHeader;
        return Read(ChunkHeaderBytes);
    }
    return Broken();
  }

  void OnPass(ByteView bytes) override { crc_ = UpdateCrc32(crc_, bytes); }
  Step AfterPass() override { return Read(CrcBytes); }

  Expect expect_ = Expect::Signature;
  uint32_t crc_ = 0;
  uint64_t chunks_ = 0;
  bool sawData_ = false;
  bool ending_ = false;
};

}  // namespace

std::unique_ptr<FormatCheck> MakePngCheck() { return std::make_unique<PngCheck>(); }

}  // namespace salvoran::carving
