#pragma once

#include <cstdint>
#include <vector>

#include "engine/RunList.h"
#include "engine/VolumeSource.h"
#include "recovery/ContentSink.h"

namespace salvoran {

// Largest compression unit read; NTFS writes units of 16 clusters of at most 4 KiB.
inline constexpr uint64_t MaxCompressionUnitBytes = 1u << 20;

// Writes the first length bytes that the runs (in VCN order) hold to output; holes are skipped.
// Throws EngineError "Failed to read run Data." when a cluster cannot be read.
void CopyPlainRuns(VolumeSource& volume, uint32_t bytesPerCluster, const std::vector<DataRun>& runs, uint64_t length,
                   ContentSink& output);

// Refuses (EngineError, compressed content damaged) a compression unit that is missing or larger
// than MaxCompressionUnitBytes.
void CheckCompressionUnit(uint8_t compressionUnit, uint32_t bytesPerCluster);

// The same for compressed data, one unit of 2^compressionUnit clusters at a time: a unit of holes
// is zeros, a unit without holes is stored plain, a unit whose clusters are followed by holes
// holds LZNT1 chunks. Memory stays within two units. Throws EngineError when a unit does not
// decode.
void CopyCompressedUnits(VolumeSource& volume, uint32_t bytesPerCluster, const std::vector<DataRun>& runs,
                         uint8_t compressionUnit, uint64_t length, ContentSink& output);

}  // namespace salvoran
