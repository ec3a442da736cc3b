#include "tests/support/FuseMount.h"

#include <fcntl.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "tests/support/CommandRunner.h"

namespace salvoran::test {
namespace {

constexpr uintmax_t TargetImageBytes = 64u << 20;
constexpr int UnmountAttempts = 50;
constexpr auto UnmountRetryPause = std::chrono::milliseconds(100);
constexpr long FuseSuperMagic = 0x65735546;

bool FuseDeviceUsable() {
  const int fd = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
  if (fd < 0) return false;
  ::close(fd);
  return true;
}

// A failure to start the program counts as a failed run.
CommandResult Run(const std::vector<std::string>& arguments) {
  try {
    return RunCommand(arguments, 60);
  } catch (const std::runtime_error& error) {
    return {-1, false, {}, error.what()};
  }
}

bool IsFuseMount(const std::filesystem::path& path) {
  struct statfs info {};
  return ::statfs(path.c_str(), &info) == 0 && info.f_type == FuseSuperMagic;
}

}  // namespace

FuseMount::FuseMount(FuseFileSystem kind) {
  if (!FuseDeviceUsable()) {
    skipReason_ = "FUSE is not available here (/dev/fuse cannot be opened)";
    return;
  }
  std::filesystem::create_directory(mountPoint_);
  Mount(kind);
}

void FuseMount::Mount(FuseFileSystem kind) {
  std::ofstream(image_).close();
  std::filesystem::resize_file(image_, TargetImageBytes);
  CommandResult result;
  if (kind == FuseFileSystem::Ntfs3g) {
    result = Run({"mkntfs", "-F", "-q", "-f", image_.string()});
    if (result.ExitCode == 0) result = Run({"ntfs-3g", image_.string(), mountPoint_.string()});
  } else {
    result = Run({"mkfs.exfat", image_.string()});
    if (result.ExitCode == 0) {
      const CommandResult loop = Run({"losetup", "--find", "--show", image_.string()});
      if (loop.ExitCode != 0) {
        skipReason_ = "no loop device for exfat-fuse: " + loop.Err;
        return;
      }
      loopDevice_ = loop.Out.substr(0, loop.Out.find('\n'));
      result = Run({"mount.exfat-fuse", loopDevice_, mountPoint_.string()});
    }
  }
  if (result.ExitCode != 0) throw std::runtime_error("cannot mount the FUSE target: " + result.Err);
  mounted_ = IsFuseMount(mountPoint_);
  if (!mounted_) throw std::runtime_error("the FUSE target did not show up at " + mountPoint_.string());
}

FuseMount::~FuseMount() {
  // The file system may still be busy for a moment after the last program using it ended.
  for (int attempt = 0; mounted_ && attempt < UnmountAttempts; ++attempt) {
    Run({"fusermount", "-u", mountPoint_.string()});
    mounted_ = IsFuseMount(mountPoint_);
    if (mounted_) std::this_thread::sleep_for(UnmountRetryPause);
  }
  if (mounted_) Run({"fusermount", "-u", "-z", mountPoint_.string()});
  if (!loopDevice_.empty()) Run({"losetup", "--detach", loopDevice_});
}

}  // namespace salvoran::test
