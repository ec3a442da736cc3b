#include "engine/carving/JpegCheck.h"

#include <algorithm>
#include <cstring>

#include "engine/carving/ByteOrder.h"
#include "engine/carving/ExifDate.h"

namespace salvoran::carving {
namespace {

constexpr uint8_t MarkerPrefix = 0xFF;
constexpr uint8_t Stuffing = 0x00;
constexpr uint8_t Soi = 0xD8, Eoi = 0xD9, Sos = 0xDA, Dqt = 0xDB, Dht = 0xC4, App1 = 0xE1;
constexpr uint8_t FirstRst = 0xD0, LastRst = 0xD7;
constexpr uint8_t Dac = 0xCC, Jpg = 0xC8;
constexpr uint8_t FirstSof = 0xC0, LastSof = 0xCF;
// Markers below this are reserved or TEM, which no file carries between segments.
constexpr uint8_t FirstSegmentMarker = 0xC0;
constexpr size_t LengthBytes = 2;
constexpr size_t MinSofBody = 6;
constexpr size_t MinSosBody = 4;
constexpr uint8_t MaxComponents = 4;

bool IsSof(uint8_t marker) {
  return marker >= FirstSof && marker <= LastSof && marker != Dht && marker != Jpg && marker != Dac;
}
bool IsRst(uint8_t marker) { return marker >= FirstRst && marker <= LastRst; }

class JpegCheck final : public FormatCheck {
 public:
  std::string_view Extension() const override { return "jpg"; }
  std::optional<CivilDateTime> ContentTime() const override { return taken_; }

 private:
  enum class Expect { Soi, Prefix, Marker, Length, Body };

  Step Start() override { return ExpectNext(Expect::Soi, 2); }

  Step ExpectNext(Expect what, size_t count) {
    expect_ = what;
    return Read(count);
  }

  Step OnRead(ByteView bytes) override {
    switch (expect_) {
      case Expect::Soi:
        if (ByteAt(bytes, 0) != MarkerPrefix || ByteAt(bytes, 1) != Soi) return Broken();
        return ExpectNext(Expect::Prefix, 1);
      case Expect::Prefix:
        if (ByteAt(bytes, 0) != MarkerPrefix) return Broken();
        return ExpectNext(Expect::Marker, 1);
      case Expect::Marker:
        return OnMarker(ByteAt(bytes, 0), Position() + 1);
      case Expect::Length: {
        const uint16_t length = ReadBE<uint16_t>(bytes, 0);
        if (length < LengthBytes) return Broken();
        const size_t body = length - LengthBytes;
        if (marker_ == App1 || IsSof(marker_) || marker_ == Sos) return ExpectNext(Expect::Body, body);
        if (marker_ == Dqt) sawTables_ = true;
        return Pass(body);
      }
      case Expect::Body:
        return OnBody(bytes);
    }
    return Broken();
  }

  Step AfterPass() override { return ExpectNext(Expect::Prefix, 1); }

  // `end` is the offset just past the marker byte.
  Step OnMarker(uint8_t marker, uint64_t end) {
    if (marker == MarkerPrefix) return ExpectNext(Expect::Marker, 1);  // fill byte
    if (marker == Eoi) return sawScan_ ? End(end) : Broken();
    if (marker < FirstSegmentMarker || marker == Soi || IsRst(marker)) return Broken();
    marker_ = marker;
    return ExpectNext(Expect::Length, LengthBytes);
  }

  Step OnBody(ByteView body) {
    if (marker_ == App1) {
      if (!taken_) taken_ = ExifDateTimeOriginal(body);
      return ExpectNext(Expect::Prefix, 1);
    }
    if (IsSof(marker_)) {
      const uint8_t components = ByteAt(body, 5);
      if (sawFrame_ || body.size() < MinSofBody || ReadBE<uint16_t>(body, 3) == 0 || components == 0 ||
          components > MaxComponents || body.size() != MinSofBody + 3u * components)
        return Broken();
      sawFrame_ = true;
      return ExpectNext(Expect::Prefix, 1);
    }
    // Start of scan: the entropy-coded data follows.
    const uint8_t components = ByteAt(body, 0);
    if (!sawFrame_ || !sawTables_ || components == 0 || components > MaxComponents ||
        body.size() != MinSosBody + 2u * components)
      return Broken();
    sawScan_ = true;
    afterPrefix_ = false;
    return Scan();
  }

  // Scan data: any byte but a prefix followed by something other than stuffing or a restart.
  Step OnScan(ByteView bytes, size_t& used) override {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t i = 0;
    while (i < bytes.size()) {
      if (!afterPrefix_) {
        const void* prefix = std::memchr(data + i, MarkerPrefix, bytes.size() - i);
        if (!prefix) {
          i = bytes.size();
          break;
        }
        i = static_cast<size_t>(static_cast<const uint8_t*>(prefix) - data) + 1;
        afterPrefix_ = true;
        continue;
      }
      const uint8_t next = data[i++];
      if (next == MarkerPrefix) continue;  // fill bytes before a marker
      afterPrefix_ = false;
      if (next == Stuffing || IsRst(next)) continue;
      used = i;
      return OnMarker(next, Position() + i);
    }
    used = bytes.size();
    return Scan();
  }

  Expect expect_ = Expect::Soi;
  uint8_t marker_ = 0;
  bool sawFrame_ = false;
  bool sawTables_ = false;
  bool sawScan_ = false;
  bool afterPrefix_ = false;
  std::optional<CivilDateTime> taken_;
};

}  // namespace

std::unique_ptr<FormatCheck> MakeJpegCheck() { return std::make_unique<JpegCheck>(); }

}  // namespace salvoran::carving
