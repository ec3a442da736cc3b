#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// BMP: the file header's size and pixel offset agree with the information header's size,
// dimensions and bit depth; the file ends where its header says.
std::unique_ptr<FormatCheck> MakeBmpCheck();

}  // namespace salvoran::carving
