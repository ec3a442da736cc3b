#include "engine/carving/GifCheck.h"

#include "engine/carving/ByteOrder.h"

namespace salvoran::carving {
namespace {

constexpr size_t HeaderBytes = 13;  // signature, version, logical screen descriptor
constexpr size_t ImageDescriptorBytes = 9;
constexpr uint8_t ImageSeparator = 0x2C, ExtensionIntroducer = 0x21, Trailer = 0x3B;
constexpr uint8_t ColorTableFlag = 0x80, ColorTableSizeBits = 0x07;
constexpr uint8_t MinCodeSize = 2, MaxCodeSize = 8;

uint64_t ColorTableBytes(uint8_t packed) {
  return (packed & ColorTableFlag) ? 3u << ((packed & ColorTableSizeBits) + 1) : 0;
}

class GifCheck final : public FormatCheck {
 public:
  std::string_view Extension() const override { return "gif"; }

 private:
  enum class Expect { Header, Introducer, ImageDescriptor, CodeSize, ExtensionLabel, SubBlockSize };

  Step Start() override { return Read(HeaderBytes); }

  Step Next(Expect what, size_t count) {
    expect_ = what;
    return Read(count);
  }

  Step OnRead(ByteView bytes) override {
    switch (expect_) {
      case Expect::Header:
        if (!StartsWith(bytes, "GIF87a") && !StartsWith(bytes, "GIF89a")) return Broken();
        if (ReadLE<uint16_t>(bytes, 6) == 0 || ReadLE<uint16_t>(bytes, 8) == 0) return Broken();
        afterPass_ = Expect::Introducer;
        return Pass(ColorTableBytes(ByteAt(bytes, 10)));
      case Expect::Introducer:
        switch (ByteAt(bytes, 0)) {
          case ImageSeparator:
            return Next(Expect::ImageDescriptor, ImageDescriptorBytes);
          case ExtensionIntroducer:
            return Next(Expect::ExtensionLabel, 1);
          case Trailer:
            return sawImage_ ? End(Position() + 1) : Broken();
          default:
            return Broken();
        }
      case Expect::ImageDescriptor:
        if (ReadLE<uint16_t>(bytes, 4) == 0 || ReadLE<uint16_t>(bytes, 6) == 0) return Broken();
        afterPass_ = Expect::CodeSize;
        return Pass(ColorTableBytes(ByteAt(bytes, 8)));
      case Expect::CodeSize: {
        const uint8_t codeSize = ByteAt(bytes, 0);
        if (codeSize < MinCodeSize || codeSize > MaxCodeSize) return Broken();
        sawImage_ = true;
        return Next(Expect::SubBlockSize, 1);
      }
      case Expect::ExtensionLabel:
        return Next(Expect::SubBlockSize, 1);
      case Expect::SubBlockSize: {
        const uint8_t size = ByteAt(bytes, 0);
        if (size == 0) return Next(Expect::Introducer, 1);
        afterPass_ = Expect::SubBlockSize;
        return Pass(size);
      }
    }
    return Broken();
  }

  Step AfterPass() override { return Next(afterPass_, 1); }

  Expect expect_ = Expect::Header;
  Expect afterPass_ = Expect::Introducer;
  bool sawImage_ = false;
};

}  // namespace

std::unique_ptr<FormatCheck> MakeGifCheck() { return std::make_unique<GifCheck>(); }

}  // namespace salvoran::carving
