#include "engine/DiskLayout.h"

#include <array>
#include <vector>

#include "engine/Attribute.h"
#include "engine/AttributeHeader.h"
#include "engine/BootSector.h"
#include "engine/EngineError.h"
#include "engine/FileNameText.h"
#include "engine/FileRecord.h"
#include "engine/VolumeWindow.h"

namespace salvoran {
namespace {

constexpr uint32_t VolumeRecord = 3;  // $Volume
constexpr uint32_t VolumeNameType = 0x60;

std::optional<std::array<std::byte, BootSectorSize>> ReadNtfsBootSector(VolumeSource& volume, uint64_t offset) {
  std::array<std::byte, BootSectorSize> sector{};
  if (volume.ReadAt(offset, sector).BytesRead != sector.size() || !HasNtfsSignature(sector)) return std::nullopt;
  return sector;
}

}  // namespace

std::optional<PartitionTable> ReadDiskLayout(VolumeSource& source) {
  // A volume comes first: an NTFS boot sector ends in the same signature as an MBR.
  if (ReadNtfsBootSector(source, 0)) return std::nullopt;
  std::optional<PartitionTable> table = ReadPartitionTable(source);
  if (!table) return std::nullopt;
  for (DiskPartition& partition : table->Partitions) {
    partition.IsNtfs = ReadNtfsBootSector(source, partition.Span.Offset).has_value();
    if (!partition.IsNtfs) continue;
    VolumeWindow volume(source, partition.Span.Offset, partition.Span.Size);
    partition.Label = ReadVolumeLabel(volume);
  }
  return table;
}

std::vector<const DiskPartition*> NtfsPartitions(const PartitionTable& table) {
  std::vector<const DiskPartition*> partitions;
  for (const DiskPartition& partition : table.Partitions) {
    if (partition.IsNtfs) partitions.push_back(&partition);
  }
  return partitions;
}

std::string ReadVolumeLabel(VolumeSource& volume) {
  const auto sector = ReadNtfsBootSector(volume, 0);
  if (!sector) return {};
  try {
    return ReadVolumeLabel(volume, ParseBootSector(*sector));
  } catch (const EngineError&) {
    return {};
  }
}

std::string ReadVolumeLabel(VolumeSource& volume, const BootSector& boot) {
  try {
    // $Volume lies in the MFT's first run, which holds at least the system's own records.
    uint64_t mftOffset = 0;
    uint64_t recordOffset = 0;
    if (__builtin_mul_overflow(boot.MftCluster, uint64_t{boot.BytesPerCluster}, &mftOffset) ||
        __builtin_add_overflow(mftOffset, uint64_t{VolumeRecord} * boot.FileRecordSize, &recordOffset)) {
      return {};
    }
    std::vector<std::byte> record(boot.FileRecordSize);
    if (volume.ReadAt(recordOffset, record).BytesRead != record.size()) return {};
    ApplyFixups(record);
    const ByteView name = FindAttribute(record, VolumeNameType, false);
    if (name.empty() || IsNonResident(name)) return {};
    const ByteView content = ResidentContent(name);
    std::u16string label;
    for (size_t i = 0; i + 1 < content.size(); i += 2) label.push_back(ReadLE<char16_t>(content, i));
    return ToUtf8(label);
  } catch (const EngineError&) {
    return {};
  }
}

}  // namespace salvoran
