#include <sys/inotify.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/DriveList.h"
#include "engine/platform/NtfsTypeName.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/TempDir.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::TempDir;

constexpr uintmax_t ImageBytes = 16 * 1024 * 1024;
constexpr const char* FatImageKilobytes = "16384";

void WriteFile(const fs::path& file, const std::string& contents) {
  fs::create_directories(file.parent_path());
  std::ofstream(file) << contents;
}

void WriteZeros(const fs::path& file, uintmax_t size) {
  std::ofstream{file};
  fs::resize_file(file, size);
}

// --- Which sysfs block devices are offered -----------------------------------------------------

// A sysfs tree laid out as the kernel does it: disks under devices/, linked from block/.
class FakeSysfsTest : public ::testing::Test {
 protected:
  fs::path Sysfs() const { return root_.Path() / "sys"; }
  fs::path Dev() const { return root_.Path() / "dev"; }
  std::string DevicePath(const std::string& name) const { return (Dev() / name).string(); }

  // A disk with the attributes every disk has; returns its directory.
  fs::path AddDisk(const std::string& name, const std::string& removable = "0") {
    const fs::path diskDir = Sysfs() / "devices" / "virtual" / "block" / name;
    WriteFile(diskDir / "removable", removable + "\n");
    WriteFile(diskDir / "dev", "8:0\n");
    fs::create_directories(Sysfs() / "block");
    fs::create_directory_symlink(diskDir, Sysfs() / "block" / name);
    return diskDir;
  }

  fs::path AddPartition(const fs::path& diskDir, const std::string& name) {
    WriteFile(diskDir / name / "partition", "1\n");
    WriteFile(diskDir / name / "dev", "8:1\n");
    return diskDir / name;
  }

  // A SCSI disk whose device link leads to the SCSI device, as for real drives.
  fs::path AddScsiDisk(const std::string& name, const std::string& scsiType, const std::string& removable = "0") {
    const fs::path diskDir = AddDisk(name, removable);
    const fs::path scsiDevice = Sysfs() / "devices" / "scsi" / name;
    WriteFile(scsiDevice / "type", scsiType + "\n");
    fs::create_directory_symlink(scsiDevice, diskDir / "device");
    return diskDir;
  }

  void AddLoop(const std::string& name, const std::optional<std::string>& backingFile) {
    const fs::path diskDir = AddDisk(name);
    if (backingFile) WriteFile(diskDir / "loop" / "backing_file", *backingFile + "\n");
  }

  // Disks of every kind, made in no particular order.
  void AddMixedMachine() {
    AddLoop("loop1", std::nullopt);
    const fs::path sdb = AddScsiDisk("sdb", "0", "1");
    AddPartition(sdb, "sdb1");
    const fs::path sda = AddScsiDisk("sda", "0");
    AddPartition(sda, "sda2");
    AddPartition(sda, "sda1");
    AddScsiDisk("sr0", "5", "1");
    AddDisk("zram0");
    AddDisk("ram0");
    AddLoop("loop0", "/srv/images/archive.img");
    const fs::path nvme = AddDisk("nvme0n1");
    AddPartition(nvme, "nvme0n1p1");
  }

  static std::vector<std::string> PathsOf(const std::vector<DriveEntry>& drives) {
    std::vector<std::string> paths;
    for (const DriveEntry& drive : drives) paths.push_back(drive.DevicePath);
    return paths;
  }

  std::vector<std::string> ListWithNtfs(const std::set<std::string>& ntfsNames) const {
    std::set<std::string> ntfsPaths;
    for (const std::string& name : ntfsNames) ntfsPaths.insert(DevicePath(name));
    return PathsOf(ListFixedNtfsVolumes(Sysfs(), Dev(), [&](const std::string& devicePath, const std::string&) {
      return std::optional<FileSystemFacts>(FileSystemFacts{ntfsPaths.contains(devicePath) ? "ntfs" : "vfat", ""});
    }));
  }

  std::vector<std::string> DevicePaths(const std::vector<std::string>& names) const {
    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(DevicePath(name));
    return paths;
  }

  // Lists with an NTFS test that accepts everything it is offered.
  std::vector<std::string> ListAllOffered() const {
    return PathsOf(ListFixedNtfsVolumes(Sysfs(), Dev(), [](const std::string&, const std::string&) {
      return std::optional<FileSystemFacts>(FileSystemFacts{"NTFS", ""});
    }));
  }

 private:
  TempDir root_;
};

TEST_F(FakeSysfsTest, OffersFixedDisksAndTheirPartitionsSortedByName) {
  AddMixedMachine();
  EXPECT_EQ(ListAllOffered(), DevicePaths({"loop0", "nvme0n1", "nvme0n1p1", "sda", "sda1", "sda2"}));
}

TEST_F(FakeSysfsTest, ListsOnlyTheVolumesTheNtfsTestAccepts) {
  AddMixedMachine();
  EXPECT_EQ(ListWithNtfs({"sda2", "nvme0n1p1", "sdb1", "sr0"}), DevicePaths({"nvme0n1p1", "sda2"}));
}

TEST_F(FakeSysfsTest, ListsNothingWithoutASysfsTree) {
  EXPECT_TRUE(ListAllOffered().empty());
}

TEST_F(FakeSysfsTest, ListsNothingWithoutAProbe) {
  AddMixedMachine();
  EXPECT_TRUE(ListFixedNtfsVolumes(Sysfs(), Dev(), FileSystemProbe()).empty());
}

TEST_F(FakeSysfsTest, GivesEachVolumeItsLabelAndItsSizeInBytes) {
  const fs::path partition = AddPartition(AddScsiDisk("sdb", "0"), "sdb1");
  WriteFile(partition / "size", "976773168\n");
  WriteFile(partition / "dev", "8:17\n");
  std::vector<std::string> askedNumbers;
  const std::vector<DriveEntry> drives =
      ListFixedNtfsVolumes(Sysfs(), Dev(), [&](const std::string& devicePath, const std::string& deviceNumber) {
        askedNumbers.push_back(deviceNumber);
        if (devicePath != DevicePath("sdb1")) return std::optional<FileSystemFacts>();
        return std::optional<FileSystemFacts>(FileSystemFacts{"ntfs", "DATA"});
      });
  EXPECT_EQ(drives, (std::vector<DriveEntry>{{DevicePath("sdb1"), "DATA", 976773168ull * 512}}));
  EXPECT_EQ(askedNumbers, (std::vector<std::string>{"8:0", "8:17"}));
}

TEST_F(FakeSysfsTest, MapsTheSysfsSlashSubstituteToADeviceSubdirectory) {
  const fs::path disk = AddDisk("cciss!c0d0");
  AddPartition(disk, "cciss!c0d0p1");
  EXPECT_EQ(ListAllOffered(), DevicePaths({"cciss/c0d0", "cciss/c0d0p1"}));
}

TEST_F(FakeSysfsTest, LinksInsideADiskAreNotPartitions) {
  const fs::path disk = AddDisk("sda");
  const fs::path elsewhere = Sysfs() / "devices" / "virtual" / "other";
  WriteFile(elsewhere / "partition", "1\n");
  fs::create_directory_symlink(elsewhere, disk / "holder");
  EXPECT_EQ(ListAllOffered(), DevicePaths({"sda"}));
}

// One disk (with a partition) that must be left out, and what makes it so.
struct ExcludedDisk {
  const char* Label;
  const char* Name;
  void (*Spoil)(const fs::path& diskDir);
};

void LeaveAsMade(const fs::path&) {}

class ExcludedDiskTest : public FakeSysfsTest, public ::testing::WithParamInterface<ExcludedDisk> {};

TEST_P(ExcludedDiskTest, IsNotOfferedNorAreItsPartitions) {
  const fs::path disk = AddDisk(GetParam().Name);
  AddPartition(disk, std::string(GetParam().Name) + "p1");
  GetParam().Spoil(disk);
  EXPECT_TRUE(ListAllOffered().empty());
}

INSTANTIATE_TEST_SUITE_P(
    DiskKinds, ExcludedDiskTest,
    ::testing::Values(
        ExcludedDisk{"Removable", "sdc", [](const fs::path& d) { WriteFile(d / "removable", "1\n"); }},
        ExcludedDisk{"OpticalByName", "sr1", LeaveAsMade},
        ExcludedDisk{"OpticalByScsiType", "sdc", [](const fs::path& d) { WriteFile(d / "device" / "type", "5\n"); }},
        ExcludedDisk{"RamDiskByName", "ram3", LeaveAsMade},
        ExcludedDisk{"RamDiskByMajorNumber", "rd0", [](const fs::path& d) { WriteFile(d / "dev", "1:0\n"); }},
        ExcludedDisk{"Zram", "zram1", LeaveAsMade},
        ExcludedDisk{"LoopWithoutBackingFile", "loop2", LeaveAsMade},
        ExcludedDisk{"LoopWithEmptyBackingFile", "loop3",
                     [](const fs::path& d) { WriteFile(d / "loop" / "backing_file", "\n"); }},
        ExcludedDisk{"MissingRemovableFlag", "sdc", [](const fs::path& d) { fs::remove(d / "removable"); }},
        ExcludedDisk{"UnreadableRemovableFlag", "sdc",
                     [](const fs::path& d) {
                       fs::remove(d / "removable");
                       fs::create_directory(d / "removable");
                     }},
        ExcludedDisk{"UnreadableScsiType", "sdc",
                     [](const fs::path& d) { fs::create_directories(d / "device" / "type"); }}),
    [](const ::testing::TestParamInfo<ExcludedDisk>& info) { return std::string(info.param.Label); });

// --- libblkid's answer ------------------------------------------------------------------------

struct TypeName {
  const char* Name;
  bool IsNtfs;
};

class NtfsTypeNameTest : public ::testing::TestWithParam<TypeName> {};

TEST_P(NtfsTypeNameTest, MatchesNtfsInAnyLetterCaseOnly) {
  EXPECT_EQ(IsNtfsTypeName(GetParam().Name), GetParam().IsNtfs) << '"' << GetParam().Name << '"';
}

INSTANTIATE_TEST_SUITE_P(Names, NtfsTypeNameTest,
                         ::testing::Values(TypeName{"ntfs", true}, TypeName{"NTFS", true},
                                           TypeName{"Ntfs", true}, TypeName{"nTfS", true},
                                           TypeName{"vfat", false}, TypeName{"exfat", false},
                                           TypeName{"ntfs3", false}, TypeName{"ntf", false},
                                           TypeName{"ntfs ", false}, TypeName{"", false},
                                           TypeName{"otfs", false}, TypeName{"NTFS\xC4", false}));

// The program's path in PATH or the sbin directories a user's PATH may lack.
std::optional<fs::path> FindTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::istringstream directories(std::string(path != nullptr ? path : "") + ":/usr/sbin:/sbin");
  for (std::string directory; std::getline(directories, directory, ':');) {
    const fs::path candidate = fs::path(directory) / name;
    if (!directory.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

class ProbeTest : public ::testing::Test {
 protected:
  fs::path InDir(const std::string& name) const { return dir_.Path() / name; }

  // A freshly formatted NTFS image; empty when mkntfs is not installed.
  fs::path MakeNtfsImage() const {
    const std::optional<fs::path> mkntfs = FindTool("mkntfs");
    if (!mkntfs) return {};
    const fs::path image = InDir("ntfs.img");
    WriteZeros(image, ImageBytes);
    const test::CommandResult made = RunCommand({mkntfs->string(), "-F", "-f", "-q", image.string()});
    EXPECT_EQ(made.ExitCode, 0) << made.Err;
    return image;
  }

  // A freshly formatted FAT image; empty when mkfs.vfat is not installed.
  fs::path MakeFatImage() const {
    const std::optional<fs::path> mkfsVfat = FindTool("mkfs.vfat");
    if (!mkfsVfat) return {};
    const fs::path image = InDir("fat.img");
    const test::CommandResult made = RunCommand({mkfsVfat->string(), "-C", image.string(), FatImageKilobytes});
    EXPECT_EQ(made.ExitCode, 0) << made.Err;
    return image;
  }

 private:
  TempDir dir_;
};

TEST_F(ProbeTest, RecognisesAnNtfsImage) {
  const fs::path image = MakeNtfsImage();
  if (image.empty()) GTEST_SKIP() << "mkntfs (ntfs-3g) is not installed";
  EXPECT_TRUE(IsNtfsVolume(image.string()));
}

// An image file has no udev entry; libblkid's probe answers for it, label included.
TEST_F(ProbeTest, AsksLibblkidWhereUdevHasNoAnswer) {
  const fs::path image = MakeNtfsImage();
  if (image.empty()) GTEST_SKIP() << "mkntfs (ntfs-3g) is not installed";
  const std::optional<fs::path> ntfslabel = FindTool("ntfslabel");
  ASSERT_TRUE(ntfslabel.has_value());
  ASSERT_EQ(RunCommand({ntfslabel->string(), image.string(), "Holiday 2023"}).ExitCode, 0);
  const std::optional<FileSystemFacts> facts = ProbeFileSystem(image.string(), "");
  ASSERT_TRUE(facts.has_value());
  EXPECT_EQ(facts->Type, "ntfs");
  EXPECT_EQ(facts->Label, "Holiday 2023");
}

TEST_F(ProbeTest, RejectsAFatImage) {
  const fs::path image = MakeFatImage();
  if (image.empty()) GTEST_SKIP() << "mkfs.vfat (dosfstools) is not installed";
  EXPECT_FALSE(IsNtfsVolume(image.string()));
}

TEST_F(ProbeTest, RejectsWhatHoldsNoFileSystem) {
  const fs::path empty = InDir("empty.img");
  WriteZeros(empty, 0);
  const fs::path zeros = InDir("zeros.img");
  WriteZeros(zeros, ImageBytes);
  fs::create_directory(InDir("folder"));

  EXPECT_FALSE(IsNtfsVolume(InDir("missing.img").string()));
  EXPECT_FALSE(IsNtfsVolume(""));
  EXPECT_FALSE(IsNtfsVolume(empty.string()));
  EXPECT_FALSE(IsNtfsVolume(zeros.string()));
  EXPECT_FALSE(IsNtfsVolume(InDir("folder").string())) << "a directory";
}

// Root may open any file for writing, so watch how the image is closed rather than deny it.
TEST_F(ProbeTest, OpensTheVolumeOnlyForReading) {
  const fs::path image = MakeNtfsImage();
  if (image.empty()) GTEST_SKIP() << "mkntfs (ntfs-3g) is not installed";
  const int watcher = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watcher, 0);
  ASSERT_GE(::inotify_add_watch(watcher, image.c_str(), IN_MODIFY | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE), 0);

  EXPECT_TRUE(IsNtfsVolume(image.string()));

  int readOnlyCloses = 0;
  int writingEvents = 0;
  alignas(inotify_event) std::array<char, 4096> buffer;
  for (ssize_t got; (got = ::read(watcher, buffer.data(), buffer.size())) > 0;) {
    for (ssize_t offset = 0; offset < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + offset);
      if (event->mask & IN_CLOSE_NOWRITE) ++readOnlyCloses;
      if (event->mask & (IN_MODIFY | IN_CLOSE_WRITE)) ++writingEvents;
      offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  ::close(watcher);
  EXPECT_GT(readOnlyCloses, 0);
  EXPECT_EQ(writingEvents, 0);
}

}  // namespace
}  // namespace salvoran
