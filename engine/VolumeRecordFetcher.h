#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "engine/FileAttributes.h"
#include "engine/VolumeGeometry.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// Reads MFT bytes [mftByte, mftByte + buffer.size()) through the map. False when some byte
// lies outside the map or cannot be read.
bool ReadMftBytes(VolumeSource& volume, const MftMap& map, uint64_t mftByte, std::span<std::byte> buffer);

// Fetches records by index through the MFT map, and an attribute's clusters through its runs.
class VolumeRecordFetcher : public RecordFetcher {
 public:
  VolumeRecordFetcher(VolumeSource& volume, const VolumeGeometry& geometry) : volume_(volume), geometry_(geometry) {}

  bool FetchRecord(uint64_t index, std::vector<std::byte>& record) override;
  ContentRead ReadNonResident(ByteView attribute, uint64_t maxBytes, std::vector<std::byte>& content) override;

 private:
  VolumeSource& volume_;
  const VolumeGeometry& geometry_;
};

}  // namespace salvoran
