#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/VolumeSource.h"

namespace salvoran {

// A stretch of a restored file, in bytes from the file's start.
struct ByteRange {
  uint64_t Offset = 0;
  uint64_t Length = 0;
  bool operator==(const ByteRange&) const = default;
};

// Reads a file's clusters for a restore. Where the source cannot give some of them (a bad sector,
// an E01 chunk that fails its checksum, the end of a cut image), the file fails with "Failed to
// read run Data." and the bytes of the file that could not be read; or, for a restore that keeps
// going, those bytes are restored as zeros and listed.
class ContentReader {
 public:
  // fileLength: the bytes of the file read from clusters; what lies past it is never damage.
  // damaged: where a restore that keeps going lists what it could not read, in file order;
  // null to fail at the first such stretch.
  ContentReader(VolumeSource& volume, uint32_t bytesPerSector, uint64_t fileLength, std::vector<ByteRange>* damaged);

  // Fills buffer from volumeByte on; its first byte is the file's byte fileByte. An unreadable
  // stretch is measured a sector at a time, so a bad sector costs only itself.
  void Read(uint64_t volumeByte, std::span<std::byte> buffer, uint64_t fileByte);
  // Fills buffer whole, or answers false without looking further: a compressed unit cannot be
  // expanded in part, so the caller gives up the whole unit (Unreadable).
  bool ReadWhole(uint64_t volumeByte, std::span<std::byte> buffer);
  // The file's bytes [fileByte, fileByte + length) could not be read: fails the file, or lists
  // them, where the caller restores them as zeros.
  void Unreadable(uint64_t fileByte, uint64_t length);

 private:
  VolumeSource& volume_;
  uint32_t probeBytes_;
  uint64_t fileLength_;
  std::vector<ByteRange>* damaged_;
};

}  // namespace salvoran
