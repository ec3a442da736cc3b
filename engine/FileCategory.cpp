#include "engine/FileCategory.h"

#include <algorithm>
#include <initializer_list>

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

}  // namespace

FileCategory CategoryOfExtension(std::u16string_view upperExtension) {
  for (const CategoryRow& row : CategoryTable) {
    if (std::find(row.Extensions.begin(), row.Extensions.end(), upperExtension) != row.Extensions.end()) {
      return row.Category;
    }
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
