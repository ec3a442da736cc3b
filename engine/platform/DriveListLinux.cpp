#include <blkid/blkid.h>

#include <algorithm>
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

struct ProbeDeleter {
  void operator()(blkid_probe probe) const { blkid_free_probe(probe); }
};
using ProbeHandle = std::unique_ptr<std::remove_pointer_t<blkid_probe>, ProbeDeleter>;

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

// A disk and its partitions, by block name.
std::vector<std::string> BlockNamesOf(const std::string& disk, const fs::path& diskDir) {
  std::vector<std::string> names{disk};
  // Partitions are plain subdirectories; the links (device, subsystem, bdi) lead elsewhere.
  for (std::string& child : SubdirectoryNames(diskDir, false)) {
    std::error_code error;
    if (fs::exists(diskDir / child / "partition", error)) names.push_back(std::move(child));
  }
  return names;
}

std::string DevicePathOf(std::string blockName, const fs::path& devRoot) {
  std::replace(blockName.begin(), blockName.end(), SysfsPathSeparator, '/');
  return (devRoot / blockName).string();
}

}  // namespace

bool IsNtfsVolume(const std::string& devicePath) {
  // Opens with O_RDONLY: the source volume is never written.
  const ProbeHandle probe(blkid_new_probe_from_filename(devicePath.c_str()));
  if (!probe) return false;
  blkid_probe_enable_superblocks(probe.get(), 1);
  blkid_probe_set_superblocks_flags(probe.get(), BLKID_SUBLKS_TYPE);
  // Anything but 0 is an error, no file system found, or more than one found.
  if (blkid_do_safeprobe(probe.get()) != 0) return false;
  const char* type = nullptr;
  return blkid_probe_lookup_value(probe.get(), "TYPE", &type, nullptr) == 0 && type != nullptr &&
         IsNtfsTypeName(type);
}

std::vector<std::string> ListFixedNtfsVolumes(const fs::path& sysfsRoot, const fs::path& devRoot,
                                              const NtfsTest& isNtfs) {
  if (!isNtfs) return {};
  const fs::path blockRoot = sysfsRoot / "block";
  std::vector<std::string> candidates;
  // Entries of /sys/block are links into /sys/devices.
  for (const std::string& disk : SubdirectoryNames(blockRoot, true)) {
    const fs::path diskDir = blockRoot / disk;
    if (!IsFixedDisk(disk, diskDir)) continue;
    for (std::string& name : BlockNamesOf(disk, diskDir)) candidates.push_back(std::move(name));
  }
  std::sort(candidates.begin(), candidates.end());
  std::vector<std::string> volumes;
  for (const std::string& name : candidates) {
    std::string devicePath = DevicePathOf(name, devRoot);
    if (isNtfs(devicePath)) volumes.push_back(std::move(devicePath));
  }
  return volumes;
}

}  // namespace salvoran
