#pragma once

#include <memory>
#include <string>

#include "engine/VolumeSource.h"

namespace salvoran {

struct OpenResult {
  std::unique_ptr<VolumeSource> Volume;  // null when the open failed
  int ErrorCode = 0;
};

// Opens a block device or an image file read-only. An empty path fails like a missing file.
OpenResult OpenRawVolume(const std::string& path);

}  // namespace salvoran
