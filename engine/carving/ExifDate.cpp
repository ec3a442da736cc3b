#include "engine/carving/ExifDate.h"

#include <string_view>

#include "engine/carving/ByteOrder.h"

namespace salvoran::carving {
namespace {

constexpr std::string_view ExifHeader("Exif\0\0", 6);
constexpr uint16_t ExifIfdPointerTag = 0x8769;
constexpr uint16_t DateTimeOriginalTag = 0x9003;
constexpr uint16_t AsciiType = 2;
constexpr size_t IfdEntryBytes = 12;
constexpr size_t DateTextBytes = 19;  // "YYYY:MM:DD HH:MM:SS"
constexpr uint16_t MaxIfdEntries = 1024;

class TiffReader {
 public:
  explicit TiffReader(ByteView tiff) : tiff_(tiff), bigEndian_(StartsWith(tiff, "MM")) {}
  bool Valid() const { return (StartsWith(tiff_, "II") || bigEndian_) && Read(2, 2) == 42; }
  uint64_t Read(size_t offset, size_t width) const {
    return bigEndian_ ? ReadBigEndian(tiff_, offset, width) : ReadLittleEndian(tiff_, offset, width);
  }
  // The offset of a tag's 12-byte entry in the IFD at `ifd`, if it is there.
  std::optional<size_t> FindEntry(uint64_t ifd, uint16_t tag) const {
    if (!RangeFits(tiff_.size(), ifd, 2)) return std::nullopt;
    const uint64_t count = Read(static_cast<size_t>(ifd), 2);
    if (count > MaxIfdEntries) return std::nullopt;
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t entry = ifd + 2 + i * IfdEntryBytes;
      if (!RangeFits(tiff_.size(), entry, IfdEntryBytes)) return std::nullopt;
      if (Read(static_cast<size_t>(entry), 2) == tag) return static_cast<size_t>(entry);
    }
    return std::nullopt;
  }
  ByteView Bytes() const { return tiff_; }

 private:
  ByteView tiff_;
  bool bigEndian_;
};

std::optional<int> Digits(std::string_view text, size_t offset, size_t count) {
  int value = 0;
  for (size_t i = offset; i < offset + count; ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

std::optional<CivilDateTime> ParseExifDate(std::string_view text) {
  if (text.size() < DateTextBytes || text[4] != ':' || text[7] != ':' || text[10] != ' ' || text[13] != ':' ||
      text[16] != ':')
    return std::nullopt;
  const auto year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const auto hour = Digits(text, 11, 2), minute = Digits(text, 14, 2), second = Digits(text, 17, 2);
  if (!year || !month || !day || !hour || !minute || !second) return std::nullopt;
  const CivilDateTime date{*year, *month, *day, *hour, *minute, *second, 0};
  // A camera without a set clock writes zeros; a day that does not exist is no date either.
  if (date.Year < 1900 || date.Month < 1 || date.Month > 12 || date.Day < 1 || date.Day > 31 || date.Hour > 23 ||
      date.Minute > 59 || date.Second > 60)
    return std::nullopt;
  const CivilDateTime sameDay =
      CivilFromDays(DaysFromCivil(date.Year, static_cast<unsigned>(date.Month), static_cast<unsigned>(date.Day)));
  if (sameDay.Day != date.Day) return std::nullopt;
  return date;
}

}  // namespace

std::optional<CivilDateTime> ExifDateTimeOriginal(ByteView app1Body) {
  if (!StartsWith(app1Body, ExifHeader)) return std::nullopt;
  const TiffReader tiff(app1Body.subspan(ExifHeader.size()));
  if (!tiff.Valid()) return std::nullopt;
  const auto pointer = tiff.FindEntry(tiff.Read(4, 4), ExifIfdPointerTag);
  if (!pointer) return std::nullopt;
  const auto entry = tiff.FindEntry(tiff.Read(*pointer + 8, 4), DateTimeOriginalTag);
  if (!entry || tiff.Read(*entry + 2, 2) != AsciiType || tiff.Read(*entry + 4, 4) < DateTextBytes) return std::nullopt;
  const uint64_t offset = tiff.Read(*entry + 8, 4);
  if (!RangeFits(tiff.Bytes().size(), offset, DateTextBytes)) return std::nullopt;
  const ByteView text = tiff.Bytes().subspan(static_cast<size_t>(offset), DateTextBytes);
  return ParseExifDate(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()));
}

}  // namespace salvoran::carving
