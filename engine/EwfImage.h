#pragma once

#include <string>

#include "engine/RawVolume.h"

namespace salvoran {

// True when the file starts with the signature of an EWF (E01) segment file.
bool IsEwfImage(const std::string& path);

// Opens the EWF image that path belongs to, with every segment of its set (.E01, .E02, ...
// found from the name of the first), for reading only. The volume is the image's media data.
OpenResult OpenEwfImage(const std::string& path);

}  // namespace salvoran
