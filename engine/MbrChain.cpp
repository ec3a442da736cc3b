#include "engine/MbrChain.h"

#include <array>
#include <optional>
#include <set>

#include "engine/ByteView.h"

namespace salvoran {
namespace {

constexpr size_t BootRecordSize = 512;
constexpr size_t SignatureOffset = 510;
constexpr uint16_t BootRecordSignature = 0xAA55;
constexpr size_t FirstEntryOffset = 0x1BE;
constexpr size_t EntrySize = 16;
constexpr size_t PrimaryEntries = 4;
constexpr size_t TypeOffset = 4;
constexpr size_t StartSectorOffset = 8;
constexpr size_t LinkEntry = 1;  // an extended boot record's second entry leads to the next one
constexpr size_t MaxLogicalPartitions = 256;
constexpr std::array<uint8_t, 3> ExtendedTypes = {0x05, 0x0F, 0x85};

struct Entry {
  uint8_t Type = 0;
  uint32_t StartSector = 0;
};

bool IsExtended(uint8_t type) {
  for (const uint8_t extended : ExtendedTypes) {
    if (type == extended) return true;
  }
  return false;
}

Entry ReadEntry(ByteView record, size_t index) {
  const size_t offset = FirstEntryOffset + index * EntrySize;
  return {ReadLE<uint8_t>(record, offset + TypeOffset), ReadLE<uint32_t>(record, offset + StartSectorOffset)};
}

std::optional<std::array<std::byte, BootRecordSize>> ReadBootRecord(VolumeSource& disk, uint64_t offset) {
  std::array<std::byte, BootRecordSize> record{};
  if (disk.ReadAt(offset, record).BytesRead != record.size()) return std::nullopt;
  if (ReadLE<uint16_t>(record, SignatureOffset) != BootRecordSignature) return std::nullopt;
  return record;
}

}  // namespace

std::vector<uint64_t> ExtendedBootRecordOffsets(VolumeSource& disk, uint32_t bytesPerSector) {
  std::vector<uint64_t> offsets;
  const auto mbr = ReadBootRecord(disk, 0);
  if (!mbr) return offsets;
  std::optional<uint64_t> extendedStart;
  for (size_t i = 0; i < PrimaryEntries && !extendedStart; ++i) {
    const Entry entry = ReadEntry(*mbr, i);
    if (IsExtended(entry.Type) && entry.StartSector != 0) extendedStart = entry.StartSector;
  }
  if (!extendedStart) return offsets;
  std::set<uint64_t> seen;
  // Sector numbers are 32 bits wide and so are their sums here; times the sector size they
  // stay far inside 64 bits.
  uint64_t sector = *extendedStart;
  while (offsets.size() < MaxLogicalPartitions && seen.insert(sector).second) {
    const uint64_t offset = sector * bytesPerSector;
    const auto record = ReadBootRecord(disk, offset);
    if (!record) break;
    offsets.push_back(offset);
    const Entry link = ReadEntry(*record, LinkEntry);
    if (!IsExtended(link.Type) || link.StartSector == 0) break;
    sector = *extendedStart + link.StartSector;
  }
  return offsets;
}

}  // namespace salvoran
