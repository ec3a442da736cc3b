#include "recovery/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <random>
#include <string>
#include <utility>

#include "engine/EngineError.h"
#include "engine/FileTime.h"
#include "engine/SystemError.h"
#include "recovery/RestoreStop.h"
#include "recovery/TargetNames.h"
#include "support/Diagnostics.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr int TemporaryNameAttempts = 16;
constexpr mode_t RestoredFileMode = 0666;  // narrowed by the user's umask
constexpr size_t TemporaryNameStemBytes = 200;
constexpr long NanosecondsPerTick = 100;
// ntfs-3g's FUSE driver sets a file's creation time from this attribute: an NTFS file time,
// big-endian (the name without _be takes the machine's byte order).
constexpr char CreationTimeAttribute[] = "system.ntfs_crtime_be";

std::string RandomSuffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  return std::to_string(generator() % 1'000'000'000);
}

// What a file system answers for an operation it does not offer: FUSE and NFS have no
// no-replace rename, FAT-like file systems no hard links.
bool Unsupported(int errorCode) {
  return errorCode == EINVAL || errorCode == ENOSYS || errorCode == EOPNOTSUPP || errorCode == EPERM;
}

// A file time of 0 was never set: the target keeps its own.
timespec ToTimespec(uint64_t fileTime) {
  if (fileTime == 0) return {0, UTIME_OMIT};
  const UnixTime time = FileTimeToUnix(fileTime);
  return {static_cast<time_t>(time.Seconds), static_cast<long>(time.Ticks) * NanosecondsPerTick};
}

}  // namespace

OutputFile::OutputFile(RestoreTarget target, ExistingTarget existing)
    : target_(std::move(target)), existing_(existing) {
  int error = 0;
  for (int attempt = 0; attempt < TemporaryNameAttempts && fd_ < 0; ++attempt) {
    std::string temporary = "." + CutUtf8(target_.Name, TemporaryNameStemBytes) + "." + RandomSuffix() + ".part";
    fd_ = ::openat(Folder(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                   RestoredFileMode);
    error = errno;
    if (fd_ >= 0) temporary_.emplace(Folder(), std::move(temporary));
    if (fd_ < 0 && error != EEXIST) break;
  }
  if (fd_ < 0) FailCreate(error);
}

OutputFile::OutputFile(const std::filesystem::path& target, ExistingTarget existing)
    : OutputFile(TargetAtPath(target), existing) {}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (temporary_) ::unlinkat(Folder(), temporary_->Name().c_str(), 0);
}

void OutputFile::FailWrite(int errorCode) const {
  throw EngineError("Could not write \"" + target_.Path.string() + "\": " + SystemErrorText(errorCode));
}

void OutputFile::FailCreate(int errorCode) const {
  throw EngineError(CreationFailure(messages::CannotCreateFile, target_.Path, errorCode));
}

void OutputFile::Write(std::span<const std::byte> bytes) {
  if (RestoreStopRequested()) throw RestoreStopped();
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(position_ + done));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) FailWrite(written < 0 ? errno : ENOSPC);
    done += static_cast<size_t>(written);
  }
  position_ += done;
}

// A hole costs no write, but may be all a hostile file is made of: the stop request is looked at
// here too.
void OutputFile::Skip(uint64_t count) {
  if (RestoreStopRequested()) throw RestoreStopped();
  position_ += count;
}

// After the last write, which would move the modification time again. Times are no part of the
// content: a target that refuses them still has the file.
void OutputFile::ApplyTimes() const {
  if (!times_) return;
  if (times_->Created != 0) {
    std::array<unsigned char, sizeof(uint64_t)> bigEndian;
    for (size_t i = 0; i < bigEndian.size(); ++i) {
      bigEndian[i] = static_cast<unsigned char>(times_->Created >> (8 * (bigEndian.size() - 1 - i)));
    }
    // Most file systems have no such attribute, or no creation time to set.
    ::fsetxattr(fd_, CreationTimeAttribute, bigEndian.data(), bigEndian.size(), 0);
  }
  const timespec times[2] = {ToTimespec(times_->Accessed), ToTimespec(times_->Modified)};
  if (::futimens(fd_, times) != 0) DebugTrace("could not set the times of " + target_.Path.string() + ": " + SystemErrorText(errno));
}

void OutputFile::Commit(uint64_t length) {
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) FailWrite(errno);
  ApplyTimes();
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) FailWrite(errno);
  if (existing_ == ExistingTarget::Keep) {
    MoveWithoutReplacing();
  } else if (::renameat(Folder(), temporary_->Name().c_str(), Folder(), target_.Name.c_str()) != 0) {
    FailCreate(errno);
  }
  temporary_.reset();
}

// Three ways, each keeping a file already at the target and never showing a partial one there:
// the no-replace rename; where the target's file system lacks it, a hard link to the target name
// then removal of the temporary name; where links are refused too, the target name created
// exclusively, then replaced by the complete file.
void OutputFile::MoveWithoutReplacing() {
  const char* temporary = temporary_->Name().c_str();
  const char* name = target_.Name.c_str();
  if (::renameat2(Folder(), temporary, Folder(), name, RENAME_NOREPLACE) == 0) return;
  if (!Unsupported(errno)) FailCreate(errno);
  if (::linkat(Folder(), temporary, Folder(), name, 0) == 0) {
    // The file is restored whatever happens to its second name.
    if (::unlinkat(Folder(), temporary, 0) != 0) {
      DebugTrace("could not remove " + temporary_->Name() + ": " + SystemErrorText(errno));
    }
    return;
  }
  if (!Unsupported(errno)) FailCreate(errno);
  const int placeholder =
      ::openat(Folder(), name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, RestoredFileMode);
  if (placeholder < 0) FailCreate(errno);
  ::close(placeholder);
  if (::renameat(Folder(), temporary, Folder(), name) != 0) {
    const int error = errno;
    ::unlinkat(Folder(), name, 0);
    FailCreate(error);
  }
}

}  // namespace salvoran
