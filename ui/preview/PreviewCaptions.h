#pragma once

#include <string_view>

// The preview pane's texts; %1, %2 and %3 stand for numbers and names.
namespace salvoran::strings {

inline constexpr std::string_view PreviewActionCaption = "Preview";
inline constexpr std::string_view PreviewNothingSelected = "Select a file to see its content here.";
inline constexpr std::string_view PreviewReading = "Reading…";
inline constexpr std::string_view PreviewEmptyFile = "The file is empty.";
inline constexpr std::string_view PreviewCannotRead = "The file cannot be read: %1";
inline constexpr std::string_view PreviewOutOfMemory = "There is not enough memory to show the file.";
inline constexpr std::string_view PreviewFolderLabel = "Folder: %1";
inline constexpr std::string_view PreviewUnknownFolder = "Folder: unknown";
inline constexpr std::string_view PreviewSizeText = "%1 (%2 bytes)";
inline constexpr std::string_view PreviewOriginText = "MFT record %1";
inline constexpr std::string_view PreviewOriginOffsetText = "MFT record at byte %1";
inline constexpr std::string_view PreviewCarvedOriginText = "Carved at byte %1 of the source";
inline constexpr std::string_view PreviewStateInRecord = "%1: its content is kept in its MFT record";
inline constexpr std::string_view PreviewStateNoneTaken = "%1: none of its %2 clusters is used by another file";
inline constexpr std::string_view PreviewStateTaken = "%1: %2 of %3 clusters are used by other files now";
inline constexpr std::string_view PreviewPictureText = "%1 × %2 pixels, %3";
inline constexpr std::string_view PreviewPictureTooLarge = "The picture is too large to show.";
inline constexpr std::string_view PreviewPictureFileTooLarge = "The picture file is too large to show.";
inline constexpr std::string_view PreviewPictureFailed = "The picture cannot be shown: %1";
inline constexpr std::string_view PreviewTextWhole = "Text, %1";
inline constexpr std::string_view PreviewTextStart = "Text, %1: the first %2 of %3";
inline constexpr std::string_view PreviewTextLines = "Text, %1: the first %2 lines";
inline constexpr std::string_view PreviewBytesText = "Bytes %1 to %2 of %3";
inline constexpr std::string_view PreviewPreviousPage = "◀ Previous";
inline constexpr std::string_view PreviewNextPage = "Next ▶";

}  // namespace salvoran::strings
