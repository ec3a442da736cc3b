#pragma once

#include <cstdint>
#include <optional>

#include "engine/DeletedFileScan.h"
#include "engine/VolumeSource.h"

namespace salvoran {

// The carved file an id names ("c" offset "-" length), without a deep scan: the source's bytes
// [offset, offset + length) go through the carver again, which must find one whole file there
// of exactly that length; it is then named and typed as the scan names it, where the scan
// carved clusters of clusterBytes from areaOffset. Nothing when the id names no such file.
// Reads only those bytes, never past the source.
std::optional<FoundFile> ProbeCarvedFile(VolumeSource& source, uint64_t offset, uint64_t length, uint64_t areaOffset,
                                         uint32_t clusterBytes);

// The same for an id's range, named by the clusters of the scanned volume (null: none could be
// scanned) when the range starts on one of them, else by the source's sectors.
std::optional<FoundFile> ProbeCarvedFile(VolumeSource& source, uint64_t offset, uint64_t length,
                                         const VolumeGeometry* scanned);

}  // namespace salvoran
