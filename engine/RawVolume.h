#pragma once

#include <functional>
#include <memory>
#include <string>

#include "engine/VolumeSource.h"

namespace salvoran {

struct OpenResult {
  std::unique_ptr<VolumeSource> Volume;  // null when the open failed
  int ErrorCode = 0;
  // What else the user should know of a failure (who refused, what to do); may be empty.
  std::string Explanation;
};

// Opens a block device or an image file read-only. An empty path fails like a missing file.
// A block device this process may not read goes to the installed DeniedDeviceOpener.
OpenResult OpenRawVolume(const std::string& path);

// A descriptor handed over by someone allowed to open the device, or why there is none.
struct GrantedDescriptor {
  int Descriptor = -1;  // owned by the receiver
  int ErrorCode = 0;
  std::string Explanation;
};

// Opens a block device on this process's behalf when the process itself is refused (EACCES):
// the front ends ask udisks2. Whatever it hands over must be open for reading only, or it is
// refused too.
using DeniedDeviceOpener = std::function<GrantedDescriptor(const std::string& devicePath)>;
// Installs a new opener and returns the previous one; an empty one leaves the refusal as it is.
DeniedDeviceOpener SetDeniedDeviceOpener(DeniedDeviceOpener opener);

}  // namespace salvoran
