#include "recovery/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>
#include <utility>

#include "engine/EngineError.h"
#include "engine/SystemError.h"
#include "recovery/RestoreStop.h"
#include "support/Diagnostics.h"

namespace salvoran {
namespace {

constexpr int TemporaryNameAttempts = 16;
constexpr mode_t RestoredFileMode = 0666;  // narrowed by the user's umask
constexpr size_t TemporaryNameStemBytes = 200;

std::string RandomSuffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  return std::to_string(generator() % 1'000'000'000);
}

// What a file system answers for an operation it does not offer: FUSE and NFS have no
// no-replace rename, FAT-like file systems no hard links.
bool Unsupported(int errorCode) {
  return errorCode == EINVAL || errorCode == ENOSYS || errorCode == EOPNOTSUPP || errorCode == EPERM;
}

}  // namespace

OutputFile::OutputFile(std::filesystem::path target, ExistingTarget existing)
    : target_(std::move(target)), existing_(existing) {
  int error = 0;
  for (int attempt = 0; attempt < TemporaryNameAttempts && fd_ < 0; ++attempt) {
    const std::filesystem::path temporary =
        target_.parent_path() /
        ("." + target_.filename().string().substr(0, TemporaryNameStemBytes) + "." + RandomSuffix() + ".part");
    fd_ = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, RestoredFileMode);
    error = errno;
    if (fd_ >= 0) temporary_.emplace(temporary.string());
    if (fd_ < 0 && error != EEXIST) break;
  }
  if (fd_ < 0) FailCreate(error);
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) ::close(fd_);
  if (temporary_) ::unlink(temporary_->Path().c_str());
}

void OutputFile::FailWrite(int errorCode) const {
  throw EngineError("Could not write \"" + target_.string() + "\": " + SystemErrorText(errorCode));
}

void OutputFile::FailCreate(int errorCode) const {
  throw EngineError("Cannot create file \"" + target_.string() + "\". " + SystemErrorText(errorCode));
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

void OutputFile::Skip(uint64_t count) { position_ += count; }

void OutputFile::Commit(uint64_t length) {
  if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) FailWrite(errno);
  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0) FailWrite(errno);
  if (existing_ == ExistingTarget::Keep) {
    MoveWithoutReplacing();
  } else if (::rename(temporary_->Path().c_str(), target_.c_str()) != 0) {
    FailCreate(errno);
  }
  temporary_.reset();
}

// Three ways, each keeping a file already at the target and never showing a partial one there:
// the no-replace rename; where the target's file system lacks it, a hard link to the target name
// then removal of the temporary name; where links are refused too, the target name created
// exclusively, then replaced by the complete file.
void OutputFile::MoveWithoutReplacing() {
  const char* temporary = temporary_->Path().c_str();
  if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, target_.c_str(), RENAME_NOREPLACE) == 0) return;
  if (!Unsupported(errno)) FailCreate(errno);
  if (::link(temporary, target_.c_str()) == 0) {
    // The file is restored whatever happens to its second name.
    if (::unlink(temporary) != 0) DebugTrace("could not remove " + temporary_->Path() + ": " + SystemErrorText(errno));
    return;
  }
  if (!Unsupported(errno)) FailCreate(errno);
  const int placeholder =
      ::open(target_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, RestoredFileMode);
  if (placeholder < 0) FailCreate(errno);
  ::close(placeholder);
  if (::rename(temporary, target_.c_str()) != 0) {
    const int error = errno;
    ::unlink(target_.c_str());
    FailCreate(error);
  }
}

}  // namespace salvoran
