#pragma once

#include <optional>

#include "engine/ByteView.h"
#include "engine/DateTime.h"

namespace salvoran::carving {

// The DateTimeOriginal of a JPEG's APP1 segment body ("Exif\0\0" and a TIFF structure): the
// moment the photo was taken, local time as the camera wrote it. None when the segment holds no
// such date or the date is not a real one.
std::optional<CivilDateTime> ExifDateTimeOriginal(ByteView app1Body);

}  // namespace salvoran::carving
