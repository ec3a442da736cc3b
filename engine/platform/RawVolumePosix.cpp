#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <limits>
#include <utility>

#include "engine/RawVolume.h"

namespace salvoran {
namespace {

// A block device or an image file, opened read-only; closed with the object.
class PosixVolume : public VolumeSource {
 public:
  PosixVolume(int fd, uint64_t size) : fd_(fd), size_(size) {}
  ~PosixVolume() override { ::close(fd_); }
  PosixVolume(const PosixVolume&) = delete;
  PosixVolume& operator=(const PosixVolume&) = delete;

  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override {
    ReadOutcome outcome;
    while (outcome.BytesRead < buffer.size()) {
      const uint64_t position = offset + outcome.BytesRead;
      if (position < offset || position > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) {
        outcome.ErrorCode = EINVAL;
        break;
      }
      const size_t wanted = std::min<size_t>(buffer.size() - outcome.BytesRead, SSIZE_MAX);
      const ssize_t got = ::pread(fd_, buffer.data() + outcome.BytesRead, wanted,
                                  static_cast<off_t>(position));
      if (got < 0) {
        if (errno == EINTR) continue;
        outcome.ErrorCode = errno;
        break;
      }
      if (got == 0) break;  // end of the volume
      outcome.BytesRead += static_cast<size_t>(got);
    }
    return outcome;
  }

  uint64_t Size() const override { return size_; }
  // pread keeps no position: each read stands alone.
  bool ConcurrentReads() const override { return true; }

  // The kernel reads ahead into its page cache without waiting; a refusal changes nothing.
  void WillRead(uint64_t offset, uint64_t length) override {
    if (offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return;
    const uint64_t room = static_cast<uint64_t>(std::numeric_limits<off_t>::max()) - offset;
    ::posix_fadvise(fd_, static_cast<off_t>(offset), static_cast<off_t>(std::min(length, room)), POSIX_FADV_WILLNEED);
  }

 private:
  int fd_;
  uint64_t size_;
};

uint64_t SizeOf(int fd, const struct stat& info) {
  if (S_ISBLK(info.st_mode)) {
    uint64_t bytes = 0;
    return ::ioctl(fd, BLKGETSIZE64, &bytes) == 0 ? bytes : 0;
  }
  return static_cast<uint64_t>(info.st_size);
}

DeniedDeviceOpener& CurrentDeniedDeviceOpener() {
  static DeniedDeviceOpener opener;
  return opener;
}

// Takes over an open descriptor. The invariant the tool rests on, checked where it is cheap:
// whoever opened it, no handle that could write ever reaches the scan or recovery.
OpenResult AdoptDescriptor(int fd) {
  const int access = ::fcntl(fd, F_GETFL);
  if (access < 0 || (access & O_ACCMODE) != O_RDONLY) {
    const int error = access < 0 ? errno : EBADF;
    ::close(fd);
    return {nullptr, error, {}};
  }
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    return {nullptr, error, {}};
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd);
    return {nullptr, EISDIR, {}};
  }
  return {std::make_unique<PosixVolume>(fd, SizeOf(fd, info)), 0, {}};
}

bool IsBlockDevice(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISBLK(info.st_mode);
}

}  // namespace

OpenResult OpenRawVolume(const std::string& path) {
  if (path.empty()) return {nullptr, ENOENT, {}};
  // Read-only, always: this handle must never be able to write to the volume being rescued.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd >= 0) return AdoptDescriptor(fd);
  const int error = errno;
  const DeniedDeviceOpener& opener = CurrentDeniedDeviceOpener();
  if ((error != EACCES && error != EPERM) || !opener || !IsBlockDevice(path)) return {nullptr, error, {}};
  GrantedDescriptor granted = opener(path);
  if (granted.Descriptor < 0) {
    return {nullptr, granted.ErrorCode != 0 ? granted.ErrorCode : error, std::move(granted.Explanation)};
  }
  return AdoptDescriptor(granted.Descriptor);
}

DeniedDeviceOpener SetDeniedDeviceOpener(DeniedDeviceOpener opener) {
  return std::exchange(CurrentDeniedDeviceOpener(), std::move(opener));
}

}  // namespace salvoran
