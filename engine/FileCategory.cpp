#include "engine/FileCategory.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "support/StringTable.h"

namespace salvoran {
namespace {

struct CategoryRow {
  FileCategory Category;
  std::initializer_list<std::u16string_view> Extensions;
};

// Looked up in this order; the first row holding the extension decides.
const CategoryRow CategoryTable[] = {
    {FileCategory::Graphics, {u".BMP", u".JPG", u".JPEG", u".GIF", u".ICO", u".PNG", u".PSD"}},
    {FileCategory::Music, {u".MP3", u".MID", u".WAV"}},
    {FileCategory::Video, {u".MP4", u".VOD", u".RMVB", u".FLV", u".SWF"}},
    {FileCategory::Document,
     {u".DOC", u".DOCX", u".PDF", u".XLS", u".PPT", u".TXT", u".RTF", u".LOG", u".ZIP", u".RAR",
      u".CPP", u".PAS"}},
    {FileCategory::Html, {u".JS", u".HTM", u".HTML", u".CSS", u".ASP", u".PHP", u".MHT"}},
};

// Every listed file is looked up, so an extension is compared as one number: its characters a
// byte each. Eight ASCII characters fit, more than the longest in the table; without NUL the
// number tells the text.
constexpr unsigned BitsPerCharacter = 8;
constexpr size_t LongestPackedExtension = 64 / BitsPerCharacter;
constexpr char16_t LastAscii = 0x7F;

std::optional<uint64_t> Packed(std::u16string_view extension) {
  if (extension.empty() || extension.size() > LongestPackedExtension) return std::nullopt;
  uint64_t packed = 0;
  for (const char16_t unit : extension) {
    if (unit == 0 || unit > LastAscii) return std::nullopt;  // no listed extension holds one
    packed = packed << BitsPerCharacter | unit;
  }
  return packed;
}

struct PackedRow {
  FileCategory Category;
  std::vector<uint64_t> Extensions;
};

std::vector<PackedRow> PackTable() {
  std::vector<PackedRow> rows;
  for (const CategoryRow& row : CategoryTable) {
    PackedRow& packed = rows.emplace_back(PackedRow{row.Category, {}});
    for (const std::u16string_view extension : row.Extensions) packed.Extensions.push_back(*Packed(extension));
  }
  return rows;
}

}  // namespace

FileCategory CategoryOfExtension(std::u16string_view upperExtension) {
  static const std::vector<PackedRow> table = PackTable();
  const std::optional<uint64_t> packed = Packed(upperExtension);
  if (!packed) return FileCategory::Other;
  for (const PackedRow& row : table) {
    if (std::find(row.Extensions.begin(), row.Extensions.end(), *packed) != row.Extensions.end()) return row.Category;
  }
  return FileCategory::Other;
}

std::string_view CategoryName(FileCategory category) {
  switch (category) {
    case FileCategory::Graphics: return "Graphics";
    case FileCategory::Music: return "Music";
    case FileCategory::Video: return "Video";
    case FileCategory::Document: return "Document";
    case FileCategory::Html: return "Html";
    case FileCategory::Other: break;
  }
  return "Other";
}

std::string_view CategoryCaption(FileCategory category) {
  switch (category) {
    case FileCategory::Graphics: return strings::GraphicsFilesCaption;
    case FileCategory::Music: return strings::MusicFilesCaption;
    case FileCategory::Video: return strings::VideoFilesCaption;
    case FileCategory::Document: return strings::DocumentFilesCaption;
    case FileCategory::Html: return strings::HtmlFilesCaption;
    case FileCategory::Other: break;
  }
  return strings::OtherFilesCaption;
}

}  // namespace salvoran
