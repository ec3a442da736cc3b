#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace salvoran {

// True exactly when libblkid reports the file system of the device or image as "ntfs" (any
// letter case). Any failure answers false.
bool IsNtfsVolume(const std::string& devicePath);

using NtfsTest = std::function<bool(const std::string& devicePath)>;

// The machine's fixed NTFS volumes as device paths, sorted by name: disks and partitions under
// sysfs that are not removable, optical, RAM or zram disks, nor loop devices without a backing
// file. The roots are injectable so the rules can be tested without real disks.
std::vector<std::string> ListFixedNtfsVolumes(const std::filesystem::path& sysfsRoot = "/sys",
                                              const std::filesystem::path& devRoot = "/dev",
                                              const NtfsTest& isNtfs = IsNtfsVolume);

}  // namespace salvoran
