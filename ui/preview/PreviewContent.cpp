#include "ui/preview/PreviewContent.h"

#include "engine/FileNameText.h"
#include "ui/QtText.h"
#include "ui/preview/PictureDecoding.h"
#include "ui/preview/PreviewCaptions.h"
#include "ui/preview/PreviewText.h"

namespace salvoran {
namespace {

QString ExtensionWithoutDot(std::u16string_view name) {
  const std::u16string_view extension = ExtensionOf(name);
  return extension.empty() ? QString() : QString::fromStdU16String(std::u16string(extension.substr(1)));
}

// The rest of the file after start, up to end, when start did not already reach the file's end.
QByteArray Continued(const PreviewRead& read, QByteArray start, uint64_t end) {
  if (static_cast<uint64_t>(start.size()) == PreviewPageBytes) start += read(PreviewPageBytes, end);
  return start;
}

// Fills the picture, or notes why it is not shown.
bool TakePicture(const PreviewRead& read, const QByteArray& start, const QByteArray& format, QSize viewSize,
                 PreviewContent& content) {
  content.PictureFormat = QString::fromLatin1(format).toUpper();
  const QByteArray whole = Continued(read, start, MaxPictureFileBytes + 1);
  if (static_cast<uint64_t>(whole.size()) > MaxPictureFileBytes) {
    content.PixelSize = ClaimedPictureSize(start, format);
    content.Note = ToQString(strings::PreviewPictureFileTooLarge);
    return false;
  }
  DecodedPicture decoded = DecodePicture(whole, format);
  content.PixelSize = decoded.PixelSize;
  if (decoded.Image.isNull()) {
    content.Note = decoded.Failure;
    return false;
  }
  content.Shown = PreviewContent::Kind::Picture;
  content.Picture = std::move(decoded.Image);
  const bool larger = content.Picture.width() > viewSize.width() || content.Picture.height() > viewSize.height();
  content.FittedPicture = larger && !viewSize.isEmpty()
                              ? content.Picture.scaled(viewSize, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                              : content.Picture;
  return true;
}

}  // namespace

PreviewContent PreparePreview(const PreviewRead& read, std::u16string_view name, QSize viewSize) {
  PreviewContent content;
  const QByteArray start = read(0, PreviewPageBytes);
  if (start.isEmpty()) return content;
  const QString extension = ExtensionWithoutDot(name);
  const QByteArray format = PictureFormatOf(start, extension);
  if (!format.isEmpty() && TakePicture(read, start, format, viewSize, content)) return content;

  const bool cutShort = static_cast<uint64_t>(start.size()) == PreviewPageBytes;
  const auto* bytes = reinterpret_cast<const std::byte*>(start.constData());
  content.Encoding = DetectTextEncoding({bytes, static_cast<size_t>(start.size())}, cutShort);
  if (content.Encoding == TextEncoding::Binary && !IsTextExtension(extension)) {
    content.Shown = PreviewContent::Kind::Bytes;
    content.Bytes = start;
    return content;
  }
  const QByteArray text = Continued(read, start, PreviewTextBytes);
  content.Shown = PreviewContent::Kind::Text;
  content.Text = DisplayText(text, content.Encoding, content.TextCut);
  return content;
}

PreviewContent PrepareBytesPage(const PreviewRead& read, uint64_t offset) {
  PreviewContent content;
  content.Shown = PreviewContent::Kind::Bytes;
  content.Bytes = read(offset, offset + PreviewPageBytes);
  content.BytesOffset = offset;
  return content;
}

}  // namespace salvoran
