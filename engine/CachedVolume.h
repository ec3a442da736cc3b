#pragma once

#include <cstdint>
#include <vector>

#include "engine/VolumeSource.h"

namespace salvoran {

// Reads another source a large aligned window at a time and keeps the windows last read, so that
// many small reads of records lying near each other (a found MFT read record by record, its
// folders and its bitmap) cost a few large reads instead of one each.
class CachedVolume : public VolumeSource {
 public:
  static constexpr uint64_t WindowBytes = 1u << 20;
  static constexpr size_t KeptWindows = 4;

  explicit CachedVolume(VolumeSource& inner) : inner_(inner) {}

  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  uint64_t Size() const override { return inner_.Size(); }
  void WillRead(uint64_t offset, uint64_t length) override { inner_.WillRead(offset, length); }

 private:
  struct Window {
    uint64_t Index = 0;
    uint64_t LastUse = 0;
    size_t Length = 0;  // bytes read: fewer at the source's end
    int ErrorCode = 0;
    std::vector<std::byte> Bytes;
  };
  const Window& Load(uint64_t index);

  VolumeSource& inner_;
  std::vector<Window> windows_;
  uint64_t uses_ = 0;
};

}  // namespace salvoran
