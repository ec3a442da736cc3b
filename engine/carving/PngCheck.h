#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// PNG: the signature, then chunks whose CRCs must hold, IHDR first, up to IEND.
std::unique_ptr<FormatCheck> MakePngCheck();

}  // namespace salvoran::carving
