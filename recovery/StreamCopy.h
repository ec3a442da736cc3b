#pragma once

#include <cstdint>

#include "engine/DataExtents.h"
#include "recovery/ContentReader.h"
#include "recovery/ContentSink.h"

namespace salvoran {

// Largest compression unit read; NTFS writes units of 16 clusters of at most 4 KiB.
inline constexpr uint64_t MaxCompressionUnitBytes = 1u << 20;

// Writes the first length bytes that the runs (in VCN order) hold to output; holes are skipped.
// What the source cannot give goes to the reader's rule: the file fails, or gets zeros there.
void CopyPlainRuns(ContentReader& reader, uint32_t bytesPerCluster, ExtentRuns& runs, uint64_t length,
                   ContentSink& output);

// Refuses (EngineError, compressed content damaged) a compression unit that is missing or larger
// than MaxCompressionUnitBytes.
void CheckCompressionUnit(uint8_t compressionUnit, uint32_t bytesPerCluster);

// The same for compressed data, one unit of 2^compressionUnit clusters at a time: a unit of holes
// is zeros, a unit without holes is stored plain, a unit whose clusters are followed by holes
// holds LZNT1 chunks. A stretch of whole units of holes is skipped in one step, however long.
// Memory stays within two units. Throws EngineError when a unit does not decode; a compressed
// unit whose clusters the source cannot give is unreadable as a whole.
void CopyCompressedUnits(ContentReader& reader, uint32_t bytesPerCluster, ExtentRuns& runs, uint8_t compressionUnit,
                         uint64_t length, ContentSink& output);

}  // namespace salvoran
