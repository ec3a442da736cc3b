#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace salvoran {

struct ReadOutcome {
  size_t BytesRead = 0;
  int ErrorCode = 0;  // the platform's error code when the read failed, else 0
  bool Failed() const { return ErrorCode != 0; }
};

// A source of volume bytes, only ever read: a block device, an image file or memory.
class VolumeSource {
 public:
  virtual ~VolumeSource() = default;
  // Reads up to buffer.size() bytes at an absolute offset. Past the end fewer bytes arrive.
  virtual ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) = 0;
  virtual uint64_t Size() const = 0;
  // Says that these bytes will be read soon, so a device can fetch them while others are being
  // decoded. Only a hint: nothing is read for the caller, and a source may ignore it.
  virtual void WillRead(uint64_t /*offset*/, uint64_t /*length*/) {}
  // True when threads may read at once without harm: a file or device read at offsets, memory.
  virtual bool ConcurrentReads() const { return false; }
};

// Lets threads share a source: one read at a time where the source may keep state between reads
// (an image format's library, a test's record of reads), any number where it allows that.
class SerializedVolume : public VolumeSource {
 public:
  explicit SerializedVolume(VolumeSource& inner) : inner_(inner), concurrent_(inner.ConcurrentReads()) {}
  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  uint64_t Size() const override { return inner_.Size(); }
  // Reads nothing, so it need not wait for a read under way.
  void WillRead(uint64_t offset, uint64_t length) override { inner_.WillRead(offset, length); }
  bool ConcurrentReads() const override { return true; }

 private:
  VolumeSource& inner_;
  const bool concurrent_;
  std::mutex mutex_;
};

// Volume bytes held in memory, for tests and fuzzing.
class MemoryVolume : public VolumeSource {
 public:
  explicit MemoryVolume(std::vector<std::byte> bytes) : bytes_(std::move(bytes)) {}
  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  uint64_t Size() const override { return bytes_.size(); }
  bool ConcurrentReads() const override { return true; }

 private:
  std::vector<std::byte> bytes_;
};

}  // namespace salvoran
