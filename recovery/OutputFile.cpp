#include "recovery/OutputFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <random>
#include <string>

#include "engine/EngineError.h"
#include "engine/SystemError.h"

namespace salvoran {
namespace {

constexpr int TemporaryNameAttempts = 16;
constexpr mode_t RestoredFileMode = 0666;  // narrowed by the user's umask

std::string RandomSuffix() {
  static std::mt19937_64 generator{std::random_device{}()};
  return std::to_string(generator() % 1'000'000'000);
}

}  // namespace

OutputFile::OutputFile(std::filesystem::path target, ExistingTarget existing)
    : target_(std::move(target)), existing_(existing) {
  int error = 0;
  for (int attempt = 0; attempt < TemporaryNameAttempts && fd_ < 0; ++attempt) {
    temporary_ = target_.parent_path() / ("." + target_.filename().string().substr(0, 200) + "." +
                                          RandomSuffix() + ".part");
    fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, RestoredFileMode);
    error = errno;
    if (fd_ < 0 && error != EEXIST) break;
  }
  if (fd_ < 0) {
    throw EngineError("Cannot create file \"" + target_.string() + "\". " + SystemErrorText(error));
  }
}

OutputFile::~OutputFile() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(temporary_.c_str());
  }
}

void OutputFile::FailWrite(int errorCode) const {
  throw EngineError("Could not write \"" + target_.string() + "\": " + SystemErrorText(errorCode));
}

void OutputFile::Write(std::span<const std::byte> bytes) {
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
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    FailWrite(error);
  }
  const unsigned flags = existing_ == ExistingTarget::Keep ? RENAME_NOREPLACE : 0;
  if (::renameat2(AT_FDCWD, temporary_.c_str(), AT_FDCWD, target_.c_str(), flags) != 0) {
    const int error = errno;
    ::unlink(temporary_.c_str());
    throw EngineError("Cannot create file \"" + target_.string() + "\". " + SystemErrorText(error));
  }
}

}  // namespace salvoran
