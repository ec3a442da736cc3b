// Feeds a boot sector and the bytes of MFT record 0 (the input's first 512 bytes, then the
// rest wherever the boot sector puts the MFT) through the opening phase of a scan.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "support/Diagnostics.h"
#include "engine/BootSector.h"
#include "engine/OpeningPhase.h"

using namespace salvoran;

namespace {

// Answers reads at 0 from the boot sector and every other read from the MFT bytes, as if they
// lay where the boot sector says; that keeps inputs small.
class TwoPieceVolume : public VolumeSource {
 public:
  TwoPieceVolume(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override {
    const uint8_t* source = data_;
    size_t available = std::min(size_, BootSectorSize);
    if (offset != 0) {
      source = data_ + available;
      available = size_ - available;
    }
    const size_t count = std::min(available, buffer.size());
    std::memcpy(buffer.data(), source, count);
    return {count, 0};
  }
  uint64_t Size() const override { return uint64_t{1} << 40; }

 private:
  const uint8_t* data_;
  size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = [] {
    SetWarningHandler([](std::string_view) { return 0; });
    return true;
  }();
  (void)quiet;
  TwoPieceVolume volume(data, size);
  VolumeGeometry geometry;
  try {
    ReadVolumeGeometry(volume, geometry);
    (void)geometry.Mft.VolumeOffsetOf(static_cast<uint64_t>(geometry.RecordCount - 1) * geometry.FileRecordSize);
  } catch (const std::exception&) {
  }
  return 0;
}
