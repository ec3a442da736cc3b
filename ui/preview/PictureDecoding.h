#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringView>
#include <cstdint>

namespace salvoran {

// The largest picture file read whole to be decoded.
inline constexpr uint64_t MaxPictureFileBytes = 64u << 20;
// The longer side of a decoded picture as it is kept: enough for any pane, and a bound on what
// is held after decoding.
inline constexpr int KeptPictureSide = 2048;

// Qt's name of the picture format of a file: by the signature of its first bytes for the formats
// that have a sure one, else by its extension when Qt reads that format; empty when neither.
QByteArray PictureFormatOf(const QByteArray& start, QStringView extension);

struct DecodedPicture {
  QImage Image;     // at most KeptPictureSide on its longer side; null when not shown
  QSize PixelSize;  // the picture's own size as its header claims it; invalid when unknown
  QString Failure;  // why Image is null
};

// The picture's size as its header claims it, without decoding it.
QSize ClaimedPictureSize(const QByteArray& bytes, const QByteArray& format);

// Decodes a picture from bytes nobody vouches for. The claimed size is checked before decoding:
// a picture claiming more pixels than is safe to decode is refused, except JPEG, which decodes
// straight to a fraction of its size; Qt's allocation limit bounds what any decoder may allocate
// for the rest. Truncated or malformed pictures come out partly drawn, or refused.
DecodedPicture DecodePicture(const QByteArray& bytes, const QByteArray& format);

}  // namespace salvoran
