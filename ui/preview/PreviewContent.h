#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <functional>
#include <string_view>

#include "support/TextDetection.h"

namespace salvoran {

// At most this much of a text is shown.
inline constexpr uint64_t PreviewTextBytes = 256 * 1024;
// A hex dump shows this much at a time.
inline constexpr uint64_t PreviewPageBytes = 64 * 1024;

// What the pane shows of a file, made away from the user-interface thread.
struct PreviewContent {
  enum class Kind { Picture, Text, Bytes, Empty, Failure };
  Kind Shown = Kind::Empty;
  QImage Picture;          // at most KeptPictureSide on its longer side
  QImage FittedPicture;    // Picture as it fits the view it was asked for
  QSize PixelSize;         // the picture's own size; also set when the picture is not shown
  QString PictureFormat;   // "BMP"
  QString Text;            // ready for display (DisplayText)
  TextEncoding Encoding = TextEncoding::Utf8;
  bool TextCut = false;    // lines were left out (MaxPreviewLines)
  QByteArray Bytes;        // one page of the hex dump
  uint64_t BytesOffset = 0;
  QString Note;            // why a picture is not shown; the failure for Kind::Failure
};

// Reads the file's content from byte firstKept up to byte end, fewer bytes past its end.
using PreviewRead = std::function<QByteArray(uint64_t firstKept, uint64_t end)>;

// What to show of the file called name: a picture (fitted to viewSize), its text, or the first
// page of a hex dump. Reads only what that needs.
PreviewContent PreparePreview(const PreviewRead& read, std::u16string_view name, QSize viewSize);
// The page of the hex dump that starts at offset.
PreviewContent PrepareBytesPage(const PreviewRead& read, uint64_t offset);

}  // namespace salvoran
