#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/VolumeLocation.h"
#include "engine/VolumeSource.h"

namespace salvoran {

struct DiskPartition {
  PartitionSpan Span;
  // Filled by ReadDiskLayout, which looks inside the partition: the type in the table does not
  // tell NTFS from exFAT or FAT.
  bool IsNtfs = false;
  std::string Label;  // the NTFS volume's label, UTF-8
};

struct PartitionTable {
  std::string Kind;  // libblkid's name of the table: "dos" (MBR) or "gpt"
  std::vector<DiskPartition> Partitions;  // in the table's order; extended containers left out
};

// The disk's MBR or GPT partition table, read through libblkid; nothing when it has none.
std::optional<PartitionTable> ReadPartitionTable(VolumeSource& disk);

}  // namespace salvoran
