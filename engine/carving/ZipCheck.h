#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// ZIP and the formats built on it: local entries (their data checked against the CRC-32, deflate
// inflated on the way), the central directory, up to the end-of-central-directory record and
// its comment. The type comes from the names inside: docx, xlsx, pptx, odt, ods, odp, epub, jar.
std::unique_ptr<FormatCheck> MakeZipCheck();

}  // namespace salvoran::carving
