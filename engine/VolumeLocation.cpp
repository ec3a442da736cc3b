#include "engine/VolumeLocation.h"

#include <sys/stat.h>

#include "engine/EwfImage.h"
#include "engine/SystemError.h"
#include "engine/VolumeWindow.h"

namespace salvoran {
namespace {

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

OpenResult OpenSource(const std::string& path) {
  // Only a file can be an E01 image; a device is never probed by libewf.
  if (IsRegularFile(path) && IsEwfImage(path)) return OpenEwfImage(path);
  return OpenRawVolume(path);
}

OpenResult OpenVolumeAt(const VolumeLocation& location) {
  OpenResult opened = OpenSource(location.Path);
  if (opened.Volume && location.Partition) {
    opened.Volume = std::make_unique<VolumeWindow>(std::move(opened.Volume), location.Partition->Offset,
                                                   location.Partition->Size);
  }
  return opened;
}

std::string OpenFailureText(std::string_view prefix, const OpenResult& result) {
  std::string text(prefix);
  text += SystemErrorText(result.ErrorCode);
  if (!result.Explanation.empty()) text += ". " + result.Explanation;
  return text;
}

}  // namespace salvoran
