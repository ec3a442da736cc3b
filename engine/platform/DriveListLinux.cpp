#include <blkid/blkid.h>
#include <libudev.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "engine/DriveList.h"
#include "engine/platform/NtfsTypeName.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view OpticalPrefix = "sr";
constexpr std::string_view RamDiskPrefix = "ram";
constexpr std::string_view ZramPrefix = "zram";
constexpr std::string_view LoopPrefix = "loop";
constexpr std::string_view FixedFlag = "0";
constexpr std::string_view OpticalScsiType = "5";  // TYPE_ROM among SCSI peripheral types
constexpr std::string_view RamDiskMajor = "1";     // the brd driver's major number
constexpr char SysfsPathSeparator = '!';           // sysfs spells "cciss/c0d0" as "cciss!c0d0"
constexpr uint64_t SysfsSectorBytes = 512;         // sysfs gives sizes in these units, whatever the disk
constexpr std::string_view EscapePrefix = "\\x";    // udev's escape of a byte in ID_FS_LABEL_ENC
constexpr int HexBase = 16;

struct ProbeDeleter {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};
using ProbeHandle = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;

struct UdevDeleter {
  void operator()(udev* context) const { udev_unref(context); }
};
struct UdevDeviceDeleter {
  void operator()(udev_device* device) const { udev_device_unref(device); }
};
using UdevHandle = std::unique_ptr<udev, UdevDeleter>;
using UdevDeviceHandle = std::unique_ptr<udev_device, UdevDeviceDeleter>;

struct BlockName {
  std::string Name;
  fs::path SysfsDir;
};

// The first line of a sysfs attribute; nullopt when it cannot be read or is empty.
std::optional<std::string> ReadAttribute(const fs::path& file) {
  std::ifstream stream(file);
  std::string line;
  if (!stream || !std::getline(stream, line) || line.empty()) return std::nullopt;
  return line;
}

// An attribute not every disk has: absent reads as empty, present but unreadable as nullopt.
std::optional<std::string> ReadOptionalAttribute(const fs::path& file) {
  std::error_code error;
  if (fs::exists(file, error)) return ReadAttribute(file);
  return error ? std::nullopt : std::optional<std::string>(std::string());
}

std::string_view MajorOf(std::string_view deviceNumber) {
  return deviceNumber.substr(0, deviceNumber.find(':'));
}

// Decided from sysfs alone, so that a drive left out is never opened (nor spun up) by a probe.
bool IsFixedDisk(const std::string& name, const fs::path& diskDir) {
  if (name.starts_with(OpticalPrefix) || name.starts_with(RamDiskPrefix) || name.starts_with(ZramPrefix)) {
    return false;
  }
  if (ReadAttribute(diskDir / "removable") != FixedFlag) return false;
  const std::optional<std::string> scsiType = ReadOptionalAttribute(diskDir / "device" / "type");
  if (!scsiType || *scsiType == OpticalScsiType) return false;
  const std::optional<std::string> deviceNumber = ReadOptionalAttribute(diskDir / "dev");
  if (!deviceNumber || MajorOf(*deviceNumber) == RamDiskMajor) return false;
  if (name.starts_with(LoopPrefix)) return ReadAttribute(diskDir / "loop" / "backing_file").has_value();
  return true;
}

// The names of dir's subdirectories, symbolic links to directories included when asked; an
// unreadable directory gives what could be read.
std::vector<std::string> SubdirectoryNames(const fs::path& dir, bool followLinks) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator entry(dir, error), end; !error && entry != end; entry.increment(error)) {
    std::error_code typeError;
    if (!entry->is_directory(typeError) || (!followLinks && entry->is_symlink(typeError))) continue;
    names.push_back(entry->path().filename().string());
  }
  return names;
}

// A disk and its partitions.
std::vector<BlockName> BlockNamesOf(const std::string& disk, const fs::path& diskDir) {
  std::vector<BlockName> names{{disk, diskDir}};
  // Partitions are plain subdirectories; the links (device, subsystem, bdi) lead elsewhere.
  for (std::string& child : SubdirectoryNames(diskDir, false)) {
    std::error_code error;
    if (fs::exists(diskDir / child / "partition", error)) names.push_back({child, diskDir / child});
  }
  return names;
}

uint64_t SizeOf(const fs::path& blockDir) {
  const std::optional<std::string> sectors = ReadAttribute(blockDir / "size");
  uint64_t count = 0;
  if (!sectors || std::from_chars(sectors->data(), sectors->data() + sectors->size(), count).ec != std::errc()) {
    return 0;
  }
  return count > UINT64_MAX / SysfsSectorBytes ? 0 : count * SysfsSectorBytes;
}

// udev keeps the label with unsafe bytes written as \xHH.
std::string DecodeUdevText(std::string_view encoded) {
  std::string text;
  for (size_t i = 0; i < encoded.size(); ++i) {
    unsigned value = 0;
    const size_t digits = i + EscapePrefix.size();
    if (encoded.substr(i, EscapePrefix.size()) == EscapePrefix && digits + 2 <= encoded.size() &&
        std::from_chars(encoded.data() + digits, encoded.data() + digits + 2, value, HexBase).ptr ==
            encoded.data() + digits + 2) {
      text.push_back(static_cast<char>(value));
      i = digits + 1;
    } else {
      text.push_back(encoded[i]);
    }
  }
  return text;
}

std::optional<FileSystemFacts> ProbeWithUdev(const std::string& deviceNumber) {
  unsigned major = 0, minor = 0;
  char colon = 0;
  if (std::sscanf(deviceNumber.c_str(), "%u%c%u", &major, &colon, &minor) != 3 || colon != ':') return std::nullopt;
  const UdevHandle context(udev_new());
  if (!context) return std::nullopt;
  const UdevDeviceHandle device(udev_device_new_from_devnum(context.get(), 'b', makedev(major, minor)));
  if (!device) return std::nullopt;
  const char* type = udev_device_get_property_value(device.get(), "ID_FS_TYPE");
  if (type == nullptr || *type == '\0') return std::nullopt;
  const char* encodedLabel = udev_device_get_property_value(device.get(), "ID_FS_LABEL_ENC");
  const char* label = udev_device_get_property_value(device.get(), "ID_FS_LABEL");
  return FileSystemFacts{type, encodedLabel != nullptr ? DecodeUdevText(encodedLabel) : label != nullptr ? label : ""};
}

std::optional<FileSystemFacts> ProbeWithBlkid(const std::string& devicePath) {
  // Opens with O_RDONLY: the source volume is never written.
  const ProbeHandle probe(blkid_new_probe_from_filename(devicePath.c_str()));
  if (!probe) return std::nullopt;
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_TYPE | BLKID_SUBLKS_LABEL);
  // Anything but 0 is an error, no file system found, or more than one found.
  if (blkid_do_safeprobe(probe.get()) != 0) return std::nullopt;
  const char* type = nullptr;
  if (blkid_probe_lookup_value(probe.get(), "TYPE", &type, nullptr) != 0 || type == nullptr) return std::nullopt;
  const char* label = nullptr;
  if (blkid_probe_lookup_value(probe.get(), "LABEL", &label, nullptr) != 0) label = nullptr;
  return FileSystemFacts{type, label != nullptr ? label : ""};
}

std::string DevicePathOf(std::string blockName, const fs::path& devRoot) {
  std::replace(blockName.begin(), blockName.end(), SysfsPathSeparator, '/');
  return (devRoot / blockName).string();
}

}  // namespace

bool IsNtfsVolume(const std::string& devicePath) {
  const std::optional<FileSystemFacts> facts = ProbeWithBlkid(devicePath);
  return facts && IsNtfsTypeName(facts->Type);
}

std::optional<FileSystemFacts> ProbeFileSystem(const std::string& devicePath, const std::string& deviceNumber) {
  if (std::optional<FileSystemFacts> facts = ProbeWithUdev(deviceNumber)) return facts;
  return ProbeWithBlkid(devicePath);
}

std::vector<DriveEntry> ListFixedNtfsVolumes(const fs::path& sysfsRoot, const fs::path& devRoot,
                                             const FileSystemProbe& probe) {
  if (!probe) return {};
  const fs::path blockRoot = sysfsRoot / "block";
  std::vector<BlockName> candidates;
  // Entries of /sys/block are links into /sys/devices.
  for (const std::string& disk : SubdirectoryNames(blockRoot, true)) {
    const fs::path diskDir = blockRoot / disk;
    if (!IsFixedDisk(disk, diskDir)) continue;
    for (BlockName& name : BlockNamesOf(disk, diskDir)) candidates.push_back(std::move(name));
  }
  std::sort(candidates.begin(), candidates.end(),
            [](const BlockName& left, const BlockName& right) { return left.Name < right.Name; });
  std::vector<DriveEntry> volumes;
  for (const BlockName& candidate : candidates) {
    std::string devicePath = DevicePathOf(candidate.Name, devRoot);
    const std::optional<FileSystemFacts> facts =
        probe(devicePath, ReadAttribute(candidate.SysfsDir / "dev").value_or(std::string()));
    if (!facts || !IsNtfsTypeName(facts->Type)) continue;
    volumes.push_back({std::move(devicePath), facts->Label, SizeOf(candidate.SysfsDir)});
  }
  return volumes;
}

}  // namespace salvoran
