#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// MP4, MOV and M4A: top-level boxes by their sizes, from "ftyp" to the last box of a known
// top-level type; "moov" is walked one level down, its boxes filling it exactly. The brand in
// "ftyp" gives the type.
std::unique_ptr<FormatCheck> MakeMp4Check();

}  // namespace salvoran::carving
