#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include "support/TextDetection.h"

namespace salvoran {

// Lines are broken at this length for display: laying out one line of a quarter of a mebibyte
// would hold up the window.
inline constexpr qsizetype MaxPreviewLineLength = 400;
// And at most this many lines are shown, however short.
inline constexpr qsizetype MaxPreviewLines = 10000;

// True for extensions of files that hold text whatever their bytes look like.
bool IsTextExtension(QStringView extension);

// The name of an encoding as the pane shows it: "UTF-8".
QString EncodingName(TextEncoding encoding);

// The text of bytes in an encoding as the preview shows it: line ends made \n, control
// characters other than tabs shown as U+FFFD, long lines broken, at most MaxPreviewLines lines.
// Binary bytes are read as UTF-8. cut is set when lines were left out.
QString DisplayText(const QByteArray& bytes, TextEncoding encoding, bool& cut);

}  // namespace salvoran
