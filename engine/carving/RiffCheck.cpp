#include "engine/carving/RiffCheck.h"

#include <algorithm>

#include "engine/carving/ByteOrder.h"

namespace salvoran::carving {
namespace {

constexpr size_t RiffHeaderBytes = 12;  // "RIFF", size, form type
constexpr size_t ChunkHeaderBytes = 8;
constexpr size_t ListTypeBytes = 4;
constexpr size_t WaveFormatBytes = 16;
constexpr uint16_t PcmFormat = 1;

bool IsChunkId(ByteView id) {
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t c = ByteAt(id, i);
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

class RiffCheck final : public FormatCheck {
 public:
  explicit RiffCheck(bool video) : video_(video) {}
  std::string_view Extension() const override { return video_ ? "avi" : "wav"; }

 private:
  enum class Expect { RiffHeader, ChunkHeader, ListType, WaveFormat, Extension };

  Step Next(Expect what, size_t count) {
    expect_ = what;
    return Read(count);
  }

  Step Start() override { return Next(Expect::RiffHeader, RiffHeaderBytes); }

  Step OnRead(ByteView bytes) override {
    switch (expect_) {
      case Expect::RiffHeader: {
        const std::string_view form = video_ ? (parts_ == 0 ? "AVI " : "AVIX") : "WAVE";
        if (!StartsWith(bytes, "RIFF") || !StartsWith(bytes.subspan(8), form)) return Broken();
        const uint64_t size = ReadLE<uint32_t>(bytes, 4);
        if (size < ListTypeBytes) return Broken();
        riffEnd_ = Position() + ChunkHeaderBytes + size;
        ++parts_;
        return ChunkOrEnd();
      }
      case Expect::ChunkHeader: {
        if (!IsChunkId(bytes)) return Broken();
        const uint64_t size = ReadLE<uint32_t>(bytes, 4);
        const uint64_t padded = size + (size & 1);
        // The last chunk may leave out its pad byte.
        if (Position() + ChunkHeaderBytes + size > riffEnd_) return Broken();
        chunkEnd_ = std::min(Position() + ChunkHeaderBytes + padded, riffEnd_);
        if (StartsWith(bytes, "LIST") && video_ && size >= ListTypeBytes) return Next(Expect::ListType, ListTypeBytes);
        if (StartsWith(bytes, "fmt ") && !video_ && size >= WaveFormatBytes)
          return Next(Expect::WaveFormat, WaveFormatBytes);
        sawData_ = sawData_ || (!video_ && StartsWith(bytes, "data"));
        return Pass(chunkEnd_ - Position() - ChunkHeaderBytes);
      }
      case Expect::ListType:
        sawHeader_ = sawHeader_ || StartsWith(bytes, "hdrl");
        sawData_ = sawData_ || StartsWith(bytes, "movi");
        return Pass(chunkEnd_ - Position() - ListTypeBytes);
      case Expect::WaveFormat: {
        const uint16_t format = ReadLE<uint16_t>(bytes, 0), channels = ReadLE<uint16_t>(bytes, 2);
        const uint32_t rate = ReadLE<uint32_t>(bytes, 4);
        const uint16_t blockAlign = ReadLE<uint16_t>(bytes, 12), bits = ReadLE<uint16_t>(bytes, 14);
        if (channels == 0 || rate == 0 || blockAlign == 0) return Broken();
        if (format == PcmFormat && blockAlign != channels * ((bits + 7) / 8)) return Broken();
        sawHeader_ = true;
        return Pass(chunkEnd_ - Position() - WaveFormatBytes);
      }
      case Expect::Extension:
        if (StartsWith(bytes, "RIFF") && StartsWith(bytes.subspan(8), "AVIX")) {
          expect_ = Expect::RiffHeader;
          return OnRead(bytes);
        }
        return End(riffEnd_);
    }
    return Broken();
  }

  Step AfterPass() override { return ChunkOrEnd(); }

  Step ChunkOrEnd() {
    if (Position() < riffEnd_) return Next(Expect::ChunkHeader, ChunkHeaderBytes);
    if (!sawHeader_ || !sawData_) return Broken();
    if (!video_) return End(riffEnd_);
    return Next(Expect::Extension, RiffHeaderBytes);
  }

  Step AtEndOfData() override { return expect_ == Expect::Extension ? End(riffEnd_) : Broken(); }

  bool video_;
  Expect expect_ = Expect::RiffHeader;
  uint64_t riffEnd_ = 0, chunkEnd_ = 0;
  uint64_t parts_ = 0;
  bool sawHeader_ = false, sawData_ = false;
};

}  // namespace

std::unique_ptr<FormatCheck> MakeWavCheck() { return std::make_unique<RiffCheck>(false); }
std::unique_ptr<FormatCheck> MakeAviCheck() { return std::make_unique<RiffCheck>(true); }

}  // namespace salvoran::carving
