#include <libewf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

#include "engine/EwfImage.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr size_t ErrorTextSize = 512;

// Receives a libewf error and frees it with the handle.
class ErrorSlot {
 public:
  libewf_error_t** operator&() { return &error_; }
  ~ErrorSlot() {
    if (error_ != nullptr) libewf_error_free(&error_);
  }
  // libewf's text of the error: its innermost cause comes last, on a line of its own.
  std::string Text() const {
    if (error_ == nullptr) return {};
    char text[ErrorTextSize] = {};
    if (libewf_error_sprint(error_, text, sizeof text) <= 0) return {};
    std::string message(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '.')) message.pop_back();
    const size_t lastLine = message.rfind('\n');
    return lastLine == std::string::npos ? message : message.substr(lastLine + 1);
  }

 private:
  libewf_error_t* error_ = nullptr;
};

// An open EWF set, closed and freed with the object.
class EwfSet {
 public:
  EwfSet() { libewf_handle_initialize(&handle_, nullptr); }
  ~EwfSet() {
    if (open_) libewf_handle_close(handle_, nullptr);
    if (handle_ != nullptr) libewf_handle_free(&handle_, nullptr);
  }
  EwfSet(const EwfSet&) = delete;
  EwfSet& operator=(const EwfSet&) = delete;

  libewf_handle_t* Handle() const { return handle_; }
  // Read access only: libewf opens every segment file read-only and never writes to them.
  bool Open(char* const names[], int count, libewf_error_t** error) {
    open_ = libewf_handle_open(handle_, names, count, LIBEWF_OPEN_READ, error) == 1;
    return open_;
  }

 private:
  libewf_handle_t* handle_ = nullptr;
  bool open_ = false;
};

// What tells one file from another, or from itself changed.
struct FileIdentity {
  dev_t Device = 0;
  ino_t Inode = 0;
  off_t Size = 0;
  struct timespec Modified {};
  bool operator==(const FileIdentity& other) const {
    return Device == other.Device && Inode == other.Inode && Size == other.Size &&
           Modified.tv_sec == other.Modified.tv_sec && Modified.tv_nsec == other.Modified.tv_nsec;
  }
};

std::optional<FileIdentity> IdentityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

// The segment names libewf found for an image, freed with the object.
class SegmentNames {
 public:
  ~SegmentNames() {
    if (names_ != nullptr) libewf_glob_free(names_, count_, nullptr);
  }
  char** Names() const { return names_; }
  int Count() const { return count_; }
  char*** NamesSlot() { return &names_; }
  int* CountSlot() { return &count_; }

 private:
  char** names_ = nullptr;
  int count_ = 0;
};

// The first byte of [offset, offset + length) in a chunk that failed its checksum, or nothing.
// libewf fills such a chunk with zeros and counts it read; it keeps the damaged sectors of every
// read so far in a list, which is asked after each read.
std::optional<uint64_t> FirstDamagedByte(libewf_handle_t* handle, uint32_t bytesPerSector, uint64_t offset,
                                         uint64_t length) {
  uint32_t count = 0;
  if (libewf_handle_get_number_of_checksum_errors(handle, &count, nullptr) != 1 || count == 0) return std::nullopt;
  std::optional<uint64_t> first;
  for (uint32_t i = 0; i < count; ++i) {
    uint64_t startSector = 0;
    uint64_t sectors = 0;
    if (libewf_handle_get_checksum_error(handle, i, &startSector, &sectors, nullptr) != 1) continue;
    const uint64_t start = startSector * bytesPerSector;
    const uint64_t end = start + sectors * bytesPerSector;
    if (start < offset + length && end > offset) first = std::min(first.value_or(UINT64_MAX), std::max(start, offset));
  }
  return first;
}

// The media data of an EWF image. libewf decompresses its chunks and checks their checksums; a
// chunk that is damaged (it cannot be read or decompressed, or fails its checksum) reads as an
// I/O error, the bytes before it arriving.
class EwfVolume : public VolumeSource {
 public:
  EwfVolume(std::shared_ptr<EwfSet> set, uint64_t size, uint32_t bytesPerSector)
      : set_(std::move(set)), size_(size), bytesPerSector_(bytesPerSector) {}

  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override {
    ReadOutcome outcome;
    if (offset >= size_) return outcome;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size_ - offset));
    while (outcome.BytesRead < wanted) {
      const uint64_t position = offset + outcome.BytesRead;
      const ssize_t got = libewf_handle_read_random(set_->Handle(), buffer.data() + outcome.BytesRead,
                                                    wanted - outcome.BytesRead, static_cast<off64_t>(position), nullptr);
      if (got < 0) {
        outcome.ErrorCode = EIO;
        break;
      }
      if (got == 0) break;
      if (const std::optional<uint64_t> damaged =
              FirstDamagedByte(set_->Handle(), bytesPerSector_, position, static_cast<uint64_t>(got))) {
        outcome.BytesRead += static_cast<size_t>(*damaged - position);
        outcome.ErrorCode = EIO;
        break;
      }
      outcome.BytesRead += static_cast<size_t>(got);
    }
    return outcome;
  }

  uint64_t Size() const override { return size_; }

 private:
  std::shared_ptr<EwfSet> set_;
  uint64_t size_;
  uint32_t bytesPerSector_;
};

// The set opened last, kept for the next open of the same image: recovery opens the volume again
// for every file it restores, and opening a large set reads all of its section tables.
struct RecentSet {
  std::string Path;
  FileIdentity Identity;
  std::shared_ptr<EwfSet> Set;
  uint64_t Size = 0;
  uint32_t BytesPerSector = 0;
};

RecentSet& Recent() {
  static RecentSet recent;
  return recent;
}

OpenResult OpenSet(const std::string& path, uint64_t& size, uint32_t& bytesPerSector, std::shared_ptr<EwfSet>& opened) {
  SegmentNames segments;
  ErrorSlot globError;
  if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, segments.NamesSlot(), segments.CountSlot(),
                  &globError) != 1) {
    return {nullptr, ENOENT, globError.Text()};
  }
  auto set = std::make_shared<EwfSet>();
  if (set->Handle() == nullptr) return {nullptr, ENOMEM, {}};
  ErrorSlot openError;
  if (!set->Open(segments.Names(), segments.Count(), &openError)) return {nullptr, EIO, openError.Text()};
  // A set that lacks a segment or ends early would read as if its missing part were unreadable
  // sectors: the user is told instead, since the missing file may just not have been copied.
  if (libewf_handle_segment_files_corrupted(set->Handle(), nullptr) != 0) {
    const int found = segments.Count();
    std::string explanation(messages::EwfIncomplete);
    explanation += found > 0 ? segments.Names()[0] : path.c_str();
    if (found > 1) explanation += std::string(messages::EwfSegmentsThrough) + segments.Names()[found - 1];
    return {nullptr, EIO, explanation + "."};
  }
  size64_t mediaSize = 0;
  if (libewf_handle_get_media_size(set->Handle(), &mediaSize, nullptr) != 1 ||
      mediaSize > static_cast<size64_t>(std::numeric_limits<int64_t>::max()) ||
      libewf_handle_get_bytes_per_sector(set->Handle(), &bytesPerSector, nullptr) != 1 || bytesPerSector == 0) {
    return {nullptr, EIO, {}};
  }
  size = mediaSize;
  opened = std::move(set);
  return {};
}

}  // namespace

bool IsEwfImage(const std::string& path) { return libewf_check_file_signature(path.c_str(), nullptr) == 1; }

OpenResult OpenEwfImage(const std::string& path) {
  RecentSet& recent = Recent();
  const std::optional<FileIdentity> identity = IdentityOf(path);
  if (!recent.Set || !identity || recent.Path != path || !(recent.Identity == *identity)) {
    recent = {};
    uint64_t size = 0;
    uint32_t bytesPerSector = 0;
    std::shared_ptr<EwfSet> set;
    OpenResult failure = OpenSet(path, size, bytesPerSector, set);
    if (!set) return failure;
    if (identity) recent = {path, *identity, set, size, bytesPerSector};
    return {std::make_unique<EwfVolume>(std::move(set), size, bytesPerSector), 0, {}};
  }
  return {std::make_unique<EwfVolume>(recent.Set, recent.Size, recent.BytesPerSector), 0, {}};
}

}  // namespace salvoran
