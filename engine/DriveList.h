#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace salvoran {

// A volume the drive list offers.
struct DriveEntry {
  std::string DevicePath;
  std::string Label;  // the file system's label, UTF-8; empty when it has none
  uint64_t Size = 0;  // bytes

  bool operator==(const DriveEntry&) const = default;
};

// The file system on a device, as udev or libblkid name it ("ntfs").
struct FileSystemFacts {
  std::string Type;
  std::string Label;
};

// True exactly when libblkid reports the file system of the device or image as "ntfs" (any
// letter case). Any failure answers false.
bool IsNtfsVolume(const std::string& devicePath);

// The file system on a block device: udev's properties, which any user may read, and where udev
// has none, libblkid's probe, which needs read access to the device. deviceNumber is sysfs's
// "major:minor". Nothing when neither knows of one.
std::optional<FileSystemFacts> ProbeFileSystem(const std::string& devicePath, const std::string& deviceNumber);

using FileSystemProbe =
    std::function<std::optional<FileSystemFacts>(const std::string& devicePath, const std::string& deviceNumber)>;

// The machine's fixed NTFS volumes, sorted by device path: disks and partitions under sysfs that
// are not removable, optical, RAM or zram disks, nor loop devices without a backing file. The
// roots and the probe are injectable so the rules can be tested without real disks.
std::vector<DriveEntry> ListFixedNtfsVolumes(const std::filesystem::path& sysfsRoot = "/sys",
                                             const std::filesystem::path& devRoot = "/dev",
                                             const FileSystemProbe& probe = ProbeFileSystem);

}  // namespace salvoran
