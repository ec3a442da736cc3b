#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// GIF: header and logical screen, colour tables, extension and image blocks with their
// sub-blocks, up to the trailer.
std::unique_ptr<FormatCheck> MakeGifCheck();

}  // namespace salvoran::carving
