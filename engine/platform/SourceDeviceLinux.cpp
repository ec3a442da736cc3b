#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>

#include "engine/SourceDevice.h"

namespace salvoran {
namespace {

// The device number of the whole disk a partition belongs to, or the device itself.
dev_t WholeDiskOf(dev_t device) {
  const std::filesystem::path entry = "/sys/dev/block/" + std::to_string(major(device)) + ":" +
                                      std::to_string(minor(device));
  std::error_code error;
  if (!std::filesystem::exists(entry / "partition", error)) return device;
  std::ifstream parentDev(entry / ".." / "dev");
  unsigned parentMajor = 0, parentMinor = 0;
  char colon = 0;
  if (parentDev >> parentMajor >> colon >> parentMinor && colon == ':') return makedev(parentMajor, parentMinor);
  return device;
}

// The nearest existing ancestor: the folder may not exist yet.
std::filesystem::path ExistingAncestor(std::filesystem::path path) {
  std::error_code error;
  path = std::filesystem::absolute(path, error);
  while (!path.empty() && !std::filesystem::exists(path, error) && path != path.root_path()) {
    path = path.parent_path();
  }
  return path;
}

}  // namespace

bool PathIsOnSourceDevice(const std::filesystem::path& path, const std::string& sourcePath) {
  struct stat source {};
  if (::stat(sourcePath.c_str(), &source) != 0 || !S_ISBLK(source.st_mode)) return false;
  struct stat target {};
  if (::stat(ExistingAncestor(path).c_str(), &target) != 0) return false;
  return target.st_dev == source.st_rdev || WholeDiskOf(target.st_dev) == source.st_rdev;
}

}  // namespace salvoran
