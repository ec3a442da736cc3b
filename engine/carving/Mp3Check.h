#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// MP3: an ID3v2 tag, then a run of MPEG audio frames alike in version, layer and sample rate,
// each found where the one before ends, and an ID3v1 tag if one follows.
std::unique_ptr<FormatCheck> MakeMp3Check();

}  // namespace salvoran::carving
