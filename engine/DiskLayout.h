#pragma once

#include <optional>
#include <vector>

#include "engine/BootSector.h"
#include "engine/PartitionTable.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// What a source holds: nothing when it is an NTFS volume by itself or holds no partition table;
// else its table, with each partition marked NTFS or not (by its boot sector) and labelled.
std::optional<PartitionTable> ReadDiskLayout(VolumeSource& source);

// The NTFS partitions of a table, in its order.
std::vector<const DiskPartition*> NtfsPartitions(const PartitionTable& table);

// The label of an NTFS volume ($Volume's $VOLUME_NAME), UTF-8; empty when it has none or it
// cannot be read.
std::string ReadVolumeLabel(VolumeSource& volume);
// The same, with the geometry of a boot sector read elsewhere (a backup's).
std::string ReadVolumeLabel(VolumeSource& volume, const BootSector& boot);

}  // namespace salvoran
