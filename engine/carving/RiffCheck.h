#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// RIFF files: the chunks inside must fill the RIFF size exactly. WAV needs its "fmt " and
// "data" chunks, AVI its "hdrl" and "movi" lists; an AVI's OpenDML "AVIX" parts that follow
// belong to it.
std::unique_ptr<FormatCheck> MakeWavCheck();
std::unique_ptr<FormatCheck> MakeAviCheck();

}  // namespace salvoran::carving
