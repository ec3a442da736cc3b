#include "cli/ByteSpool.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace salvoran::cli {
namespace {

constexpr size_t BlockBytes = size_t{256} << 10;

[[noreturn]] void FailTemporaryFile() {
  throw std::system_error(errno, std::generic_category(), "Cannot keep the listing in a temporary file");
}

}  // namespace

ByteSpool::ByteSpool(size_t memoryBytes) : memoryBytes_(std::max(memoryBytes / BlockBytes, size_t{1}) * BlockBytes) {}

ByteSpool::~ByteSpool() {
  if (file_ >= 0) ::close(file_);
}

void ByteSpool::Append(const void* bytes, size_t count) {
  const auto* from = static_cast<const std::byte*>(bytes);
  while (count > 0 && size_ < memoryBytes_) {
    const size_t offset = size_ % BlockBytes;
    if (offset == 0 && size_ / BlockBytes == blocks_.size()) {
      blocks_.push_back(std::make_unique_for_overwrite<std::byte[]>(BlockBytes));
    }
    const size_t piece = std::min(count, BlockBytes - offset);
    std::memcpy(blocks_[size_ / BlockBytes].get() + offset, from, piece);
    from += piece;
    count -= piece;
    size_ += piece;
  }
  if (count > 0) Spill(from, count);
}

// Gathered into whole blocks, so the file is written in large pieces.
void ByteSpool::Spill(const std::byte* bytes, size_t count) {
  if (file_ < 0) {
    std::string name = (std::filesystem::temp_directory_path() / "salvoran-listing-XXXXXX").string();
    file_ = ::mkstemp(name.data());
    if (file_ < 0) FailTemporaryFile();
    ::unlink(name.c_str());
    waiting_.reserve(BlockBytes);
  }
  size_ += count;
  while (count > 0) {
    const size_t piece = std::min(count, BlockBytes - waiting_.size());
    waiting_.insert(waiting_.end(), bytes, bytes + piece);
    bytes += piece;
    count -= piece;
    if (waiting_.size() == BlockBytes) {
      WriteSpilled(waiting_.data(), waiting_.size());
      waiting_.clear();
    }
  }
}

void ByteSpool::WriteSpilled(const std::byte* bytes, size_t count) {
  while (count > 0) {
    const ssize_t written = ::pwrite(file_, bytes, count, static_cast<off_t>(fileBytes_));
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      if (written == 0) errno = ENOSPC;
      FailTemporaryFile();
    }
    bytes += written;
    count -= static_cast<size_t>(written);
    fileBytes_ += static_cast<size_t>(written);
  }
}

bool ByteSpool::Reader::Read(void* bytes, size_t count) {
  if (count > spool_.size_ - position_) return false;
  auto* to = static_cast<std::byte*>(bytes);
  while (count > 0) {
    size_t piece = 0;
    if (position_ < spool_.memoryBytes_) {
      const size_t offset = position_ % BlockBytes;
      piece = std::min(count, BlockBytes - offset);
      std::memcpy(to, spool_.blocks_[position_ / BlockBytes].get() + offset, piece);
    } else if (const size_t inFile = position_ - spool_.memoryBytes_; inFile < spool_.fileBytes_) {
      const size_t wanted = std::min(count, spool_.fileBytes_ - inFile);
      const ssize_t read = ::pread(spool_.file_, to, wanted, static_cast<off_t>(inFile));
      if (read < 0 && errno == EINTR) continue;
      if (read <= 0) {
        if (read == 0) errno = EIO;
        FailTemporaryFile();
      }
      piece = static_cast<size_t>(read);
    } else {
      const size_t offset = inFile - spool_.fileBytes_;
      piece = std::min(count, spool_.waiting_.size() - offset);
      std::memcpy(to, spool_.waiting_.data() + offset, piece);
    }
    to += piece;
    count -= piece;
    position_ += piece;
  }
  return true;
}

}  // namespace salvoran::cli
