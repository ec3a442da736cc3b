#pragma once

#include <cstdint>
#include <vector>

#include "engine/VolumeSource.h"

namespace salvoran {

// The byte offsets of the extended boot records of an MBR disk, in chain order; empty when the
// first sector is no MBR with an extended partition. The chain is cut where it loops, leaves
// the disk or grows past any real table.
std::vector<uint64_t> ExtendedBootRecordOffsets(VolumeSource& disk, uint32_t bytesPerSector);

}  // namespace salvoran
