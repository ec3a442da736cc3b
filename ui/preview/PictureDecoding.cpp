#include "ui/preview/PictureDecoding.h"

#include <QBuffer>
#include <QImageReader>
#include <array>
#include <mutex>

#include "ui/QtText.h"
#include "ui/preview/PreviewCaptions.h"

namespace salvoran {
namespace {

// A decoder may allocate at most this much for one picture (Qt's limit, for every reader of the
// process). Above the decoded pixels allowed below, at four bytes each.
constexpr int AllocationLimitMiB = 192;
// Decoded whole, then scaled: 40 megapixels, 160 MiB at four bytes a pixel.
constexpr qint64 MaxDecodedPixels = 40'000'000;
// JPEG decodes at 1/2, 1/4 or 1/8 of its size; a 150-megapixel picture comes out below the limit.
constexpr qint64 MaxScaledJpegPixels = 150'000'000;
constexpr char ScalingFormat[] = "jpeg";

// Formats whose signature tells them apart from other content. The others (TGA, WBMP, ...) have
// none that random bytes could not match, so only their extension names them.
constexpr std::array<const char*, 6> SignedFormats = {"png", "jpeg", "gif", "bmp", "webp", "tiff"};

void LimitDecoderAllocations() {
  static std::once_flag once;
  std::call_once(once, [] { QImageReader::setAllocationLimit(AllocationLimitMiB); });
}

DecodedPicture Refused(QSize size, QString why) { return {{}, size, std::move(why)}; }

}  // namespace

QByteArray PictureFormatOf(const QByteArray& start, QStringView extension) {
  QBuffer buffer;
  buffer.setData(start);
  buffer.open(QIODevice::ReadOnly);
  const QByteArray format = QImageReader::imageFormat(&buffer);
  for (const char* known : SignedFormats) {
    if (format == known) return format;
  }
  const QByteArray byName = extension.toString().toLower().toLatin1();
  if (!byName.isEmpty() && QImageReader::supportedImageFormats().contains(byName)) return byName;
  return {};
}

QSize ClaimedPictureSize(const QByteArray& bytes, const QByteArray& format) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  return QImageReader(&buffer, format).size();
}

DecodedPicture DecodePicture(const QByteArray& bytes, const QByteArray& format) {
  LimitDecoderAllocations();
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format);
  reader.setAutoTransform(true);
  const QSize claimed = reader.size();
  const bool scalesWhileDecoding = format == ScalingFormat;
  if (claimed.isValid()) {
    const qint64 pixels = qint64{claimed.width()} * claimed.height();
    if (pixels > (scalesWhileDecoding ? MaxScaledJpegPixels : MaxDecodedPixels)) {
      return Refused(claimed, ToQString(strings::PreviewPictureTooLarge));
    }
    const QSize kept = claimed.scaled(KeptPictureSide, KeptPictureSide, Qt::KeepAspectRatio);
    if (scalesWhileDecoding && kept.width() < claimed.width()) reader.setScaledSize(kept);
  }
  QImage image = reader.read();
  if (image.isNull()) {
    return Refused(claimed, ToQString(strings::PreviewPictureFailed).arg(reader.errorString()));
  }
  if (image.width() > KeptPictureSide || image.height() > KeptPictureSide) {
    image = image.scaled(KeptPictureSide, KeptPictureSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  const QSize pixelSize = claimed.isValid() ? claimed : image.size();
  return {std::move(image), pixelSize, {}};
}

}  // namespace salvoran
