#include "engine/carving/Mp3Check.h"

#include <array>

#include "engine/carving/ByteOrder.h"

namespace salvoran::carving {
namespace {

constexpr size_t TagHeaderBytes = 10;
constexpr size_t TagFooterBytes = 10;
constexpr uint8_t FooterFlag = 0x10;
constexpr size_t FrameHeaderBytes = 4;
constexpr size_t OldTagBytes = 128;  // ID3v1, "TAG" and fixed fields
// Fewer frames than this after a tag is a tag followed by something else.
constexpr uint64_t MinFrames = 4;

enum Version { Mpeg25 = 0, Reserved = 1, Mpeg2 = 2, Mpeg1 = 3 };
enum Layer { Layer3 = 1, Layer2 = 2, Layer1 = 3 };

// Kilobits per second by [MPEG-1][layer][index]; MPEG-2 and 2.5 share a table.
constexpr std::array<std::array<std::array<uint16_t, 15>, 4>, 2> Bitrates = {{
    {{{},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256}}},
    {{{},
      {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},
      {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
      {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}}},
}};
constexpr std::array<uint32_t, 3> Mpeg1SampleRates = {44100, 48000, 32000};

struct FrameHeader {
  uint32_t Kind = 0;  // the bits that every frame of a file shares
  uint32_t Length = 0;
};

std::optional<FrameHeader> DecodeFrameHeader(ByteView bytes) {
  const uint32_t header = ReadBE<uint32_t>(bytes, 0);
  const uint32_t version = header >> 19 & 3, layer = header >> 17 & 3;
  const uint32_t bitrateIndex = header >> 12 & 15, rateIndex = header >> 10 & 3, padding = header >> 9 & 1;
  if ((header >> 21) != 0x7FF || version == Reserved || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
      rateIndex == 3)
    return std::nullopt;
  const bool mpeg1 = version == Mpeg1;
  const uint32_t bitrate = Bitrates[mpeg1][layer][bitrateIndex] * 1000u;
  const uint32_t rate = Mpeg1SampleRates[rateIndex] >> (mpeg1 ? 0 : version == Mpeg2 ? 1 : 2);
  uint32_t length = 0;
  if (layer == Layer1) {
    length = (12 * bitrate / rate + padding) * 4;
  } else {
    const uint32_t samplesPerByte = (layer == Layer3 && !mpeg1) ? 72 : 144;
    length = samplesPerByte * bitrate / rate + padding;
  }
  if (length < FrameHeaderBytes) return std::nullopt;
  return FrameHeader{header & 0xFFFE0C00u, length};
}

class Mp3Check final : public FormatCheck {
 public:
  std::string_view Extension() const override { return "mp3"; }

 private:
  enum class Expect { Tag, Frame, OldTag };

  Step Start() override { return Read(TagHeaderBytes); }

  Step OnRead(ByteView bytes) override {
    switch (expect_) {
      case Expect::Tag: {
        const uint8_t major = ByteAt(bytes, 3), flags = ByteAt(bytes, 5);
        if (!StartsWith(bytes, "ID3") || major < 2 || major > 4 || ByteAt(bytes, 4) == 0xFF) return Broken();
        uint64_t size = 0;
        for (size_t i = 6; i < TagHeaderBytes; ++i) {
          if (ByteAt(bytes, i) & 0x80) return Broken();  // sizes are synchsafe: seven bits a byte
          size = size << 7 | ByteAt(bytes, i);
        }
        if (flags & FooterFlag) size += TagFooterBytes;
        expect_ = Expect::Frame;
        return Pass(size);
      }
      case Expect::Frame: {
        const auto frame = DecodeFrameHeader(bytes);
        if (!frame || (frames_ > 0 && frame->Kind != kind_)) return AfterLastFrame(bytes);
        kind_ = frame->Kind;
        ++frames_;
        return Pass(frame->Length - FrameHeaderBytes);
      }
      case Expect::OldTag:
        return End(framesEnd_ + OldTagBytes);
    }
    return Broken();
  }

  Step AfterPass() override {
    framesEnd_ = Position();
    return Read(FrameHeaderBytes);
  }

  Step AfterLastFrame(ByteView bytes) {
    if (frames_ < MinFrames) return Broken();
    if (!StartsWith(bytes, "TAG")) return End(framesEnd_);
    expect_ = Expect::OldTag;
    return Read(OldTagBytes - FrameHeaderBytes);
  }

  Step AtEndOfData() override { return frames_ >= MinFrames ? End(framesEnd_) : Broken(); }

  Expect expect_ = Expect::Tag;
  uint32_t kind_ = 0;
  uint64_t frames_ = 0;
  uint64_t framesEnd_ = 0;
};

}  // namespace

std::unique_ptr<FormatCheck> MakeMp3Check() { return std::make_unique<Mp3Check>(); }

}  // namespace salvoran::carving
