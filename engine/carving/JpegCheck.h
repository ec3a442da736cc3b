#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// JPEG: SOI, segments, entropy-coded scan data up to EOI. A thumbnail inside APP1 is part of
// the segment, not a file of its own. The EXIF DateTimeOriginal is kept as the content time.
std::unique_ptr<FormatCheck> MakeJpegCheck();

}  // namespace salvoran::carving
