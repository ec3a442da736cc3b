#include "engine/carving/Mp4Check.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>

#include "engine/carving/ByteOrder.h"

namespace salvoran::carving {
namespace {

constexpr size_t BoxHeaderBytes = 8;
constexpr size_t LargeSizeBytes = 8;
constexpr uint64_t LargeSizeMarker = 1;
constexpr size_t MinTypeBoxBytes = 16;  // header, major brand, minor version
constexpr size_t MaxTypeBoxBytes = 1024;
// The boxes a file holds at its top level; anything else after the last of them is not the file's.
constexpr std::array<std::string_view, 18> TopLevelTypes = {"moov", "mdat", "free", "skip", "wide", "udta",
                                                            "uuid", "meta", "pdin", "moof", "mfra", "sidx",
                                                            "ssix", "styp", "emsg", "prft", "pnot", "junk"};

bool IsBoxType(ByteView type) {
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t c = ByteAt(type, i);
    if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == ' ' || c == 0xA9))
      return false;
  }
  return true;
}

bool IsTopLevel(ByteView type) {
  return std::any_of(TopLevelTypes.begin(), TopLevelTypes.end(),
                     [&](std::string_view known) { return StartsWith(type, known); });
}

class Mp4Check final : public FormatCheck {
 public:
  std::string_view Extension() const override { return extension_; }

 private:
  enum class Expect { TypeHeader, TypeBody, BoxHeader, LargeSize, ChildHeader, Body };

  Step Next(Expect what, size_t count) {
    expect_ = what;
    return Read(count);
  }

  Step Start() override { return Next(Expect::TypeHeader, BoxHeaderBytes); }

  Step OnRead(ByteView bytes) override {
    switch (expect_) {
      case Expect::TypeHeader: {
        const uint64_t size = ReadBE<uint32_t>(bytes, 0);
        if (!StartsWith(bytes.subspan(4), "ftyp") || size < MinTypeBoxBytes || size > MaxTypeBoxBytes || size % 4 != 0)
          return Broken();
        return Next(Expect::TypeBody, static_cast<size_t>(size - BoxHeaderBytes));
      }
      case Expect::TypeBody:
        extension_ = ExtensionOfBrand(bytes);
        boxesEnd_ = Position() + bytes.size();
        return Next(Expect::BoxHeader, BoxHeaderBytes);
      case Expect::BoxHeader: {
        const ByteView type = bytes.subspan(4);
        if (!IsTopLevel(type)) return FileEnds();
        boxStart_ = Position();
        isMovie_ = StartsWith(type, "moov");
        sawMovie_ = sawMovie_ || isMovie_;
        const uint64_t size = ReadBE<uint32_t>(bytes, 0);
        if (size == LargeSizeMarker) return Next(Expect::LargeSize, LargeSizeBytes);
        return OnBoxSize(size, BoxHeaderBytes);
      }
      case Expect::LargeSize:
        return OnBoxSize(ReadBE<uint64_t>(bytes, 0), BoxHeaderBytes + LargeSizeBytes);
      case Expect::ChildHeader: {
        const uint64_t size = ReadBE<uint32_t>(bytes, 0);
        // A child that claims more than its parent has left breaks the parent.
        if (!IsBoxType(bytes.subspan(4)) || size < BoxHeaderBytes || size > boxEnd_ - Position()) return Broken();
        expect_ = Expect::Body;
        return Pass(size - BoxHeaderBytes);
      }
      case Expect::Body:
        break;
    }
    return Broken();
  }

  // A size of 0 (to the end of the file) tells no end that could be found here. The movie box
  // is walked one level down (AfterPass reads its children).
  Step OnBoxSize(uint64_t size, size_t headerBytes) {
    if (size < headerBytes || size > UINT64_MAX - boxStart_) return Broken();
    boxEnd_ = boxStart_ + size;
    expect_ = Expect::Body;
    return Pass(isMovie_ ? 0 : size - headerBytes);
  }

  Step AfterPass() override {
    if (isMovie_ && Position() < boxEnd_) return Next(Expect::ChildHeader, BoxHeaderBytes);
    boxesEnd_ = Position();
    return Next(Expect::BoxHeader, BoxHeaderBytes);
  }

  Step FileEnds() { return sawMovie_ ? End(boxesEnd_) : Broken(); }
  // Only the data ending where a box would begin ends the file.
  Step AtEndOfData() override { return expect_ == Expect::BoxHeader ? FileEnds() : Broken(); }

  static std::string_view ExtensionOfBrand(ByteView typeBody) {
    if (StartsWith(typeBody, "qt  ")) return "mov";
    if (StartsWith(typeBody, "M4A ") || StartsWith(typeBody, "M4B ")) return "m4a";
    return "mp4";
  }

  Expect expect_ = Expect::TypeHeader;
  std::string_view extension_ = "mp4";
  uint64_t boxStart_ = 0, boxEnd_ = 0, boxesEnd_ = 0;
  bool isMovie_ = false, sawMovie_ = false;
};

}  // namespace

std::unique_ptr<FormatCheck> MakeMp4Check() { return std::make_unique<Mp4Check>(); }

}  // namespace salvoran::carving
