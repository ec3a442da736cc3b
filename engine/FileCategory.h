#pragma once

#include <array>
#include <string_view>

namespace salvoran {

enum class FileCategory { Graphics, Music, Video, Document, Html, Other };

inline constexpr std::array<FileCategory, 6> AllCategories = {
    FileCategory::Graphics, FileCategory::Music, FileCategory::Video,
    FileCategory::Document, FileCategory::Html,  FileCategory::Other};

// The category of an upper-cased extension (full stop included); unknown or empty gives Other.
FileCategory CategoryOfExtension(std::u16string_view upperExtension);

// "Graphics", "Music", ... as the command line's JSON names them.
std::string_view CategoryName(FileCategory category);

// The root caption from the string table: "Graphics Files", ...
std::string_view CategoryCaption(FileCategory category);

}  // namespace salvoran
