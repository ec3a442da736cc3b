#include <libewf.h>

#include <cerrno>
#include <limits>
#include <memory>

#include "engine/EwfImage.h"

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

struct HandleDeleter {
  void operator()(libewf_handle_t* handle) const { libewf_handle_free(&handle, nullptr); }
};
using EwfHandle = std::unique_ptr<libewf_handle_t, HandleDeleter>;

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

// The media data of an EWF image. libewf decompresses its chunks and checks their checksums.
class EwfVolume : public VolumeSource {
 public:
  EwfVolume(EwfHandle handle, uint64_t size) : handle_(std::move(handle)), size_(size) {}
  ~EwfVolume() override { libewf_handle_close(handle_.get(), nullptr); }
  EwfVolume(const EwfVolume&) = delete;
  EwfVolume& operator=(const EwfVolume&) = delete;

  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override {
    ReadOutcome outcome;
    if (offset >= size_) return outcome;
    const size_t wanted = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size_ - offset));
    while (outcome.BytesRead < wanted) {
      const ssize_t got = libewf_handle_read_random(handle_.get(), buffer.data() + outcome.BytesRead,
                                                    wanted - outcome.BytesRead,
                                                    static_cast<off64_t>(offset + outcome.BytesRead), nullptr);
      if (got < 0) {
        // A chunk that cannot be read or decompressed: the image is damaged there.
        outcome.ErrorCode = EIO;
        break;
      }
      if (got == 0) break;
      outcome.BytesRead += static_cast<size_t>(got);
    }
    return outcome;
  }

  uint64_t Size() const override { return size_; }

 private:
  EwfHandle handle_;
  uint64_t size_;
};

}  // namespace

bool IsEwfImage(const std::string& path) { return libewf_check_file_signature(path.c_str(), nullptr) == 1; }

OpenResult OpenEwfImage(const std::string& path) {
  SegmentNames segments;
  ErrorSlot globError;
  if (libewf_glob(path.c_str(), path.size(), LIBEWF_FORMAT_UNKNOWN, segments.NamesSlot(), segments.CountSlot(),
                  &globError) != 1) {
    return {nullptr, ENOENT, globError.Text()};
  }
  libewf_handle_t* raw = nullptr;
  if (libewf_handle_initialize(&raw, nullptr) != 1) return {nullptr, ENOMEM, {}};
  EwfHandle handle(raw);
  ErrorSlot openError;
  // Read access only: libewf opens every segment file read-only and never writes to them.
  if (libewf_handle_open(handle.get(), segments.Names(), segments.Count(), LIBEWF_OPEN_READ, &openError) != 1) {
    return {nullptr, EIO, openError.Text()};
  }
  size64_t mediaSize = 0;
  const bool sized = libewf_handle_get_media_size(handle.get(), &mediaSize, nullptr) == 1 &&
                     mediaSize <= static_cast<size64_t>(std::numeric_limits<int64_t>::max());
  auto volume = std::make_unique<EwfVolume>(std::move(handle), mediaSize);
  if (!sized) return {nullptr, EIO, {}};
  return {std::move(volume), 0, {}};
}

}  // namespace salvoran
