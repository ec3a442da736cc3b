#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "engine/PartitionTable.h"
#include "engine/VolumeLocation.h"

namespace salvoran::cli {

inline constexpr uint32_t NoPartitionGiven = 0;

// Reads the source's partition table into table, or leaves it empty when the source has none.
// Prints why to stderr and answers false when the source cannot be opened.
bool ReadSourceTable(const std::string& source, std::optional<PartitionTable>& table);

// The volume a command works on: the source itself, the partition asked for, or the source's
// only NTFS partition. Otherwise prints why to stderr, with the partitions to choose from, and
// answers nothing.
std::optional<VolumeLocation> ChooseVolume(const std::string& source, const std::optional<PartitionTable>& table,
                                           uint32_t partition);
// Both of the above.
std::optional<VolumeLocation> ChooseVolume(const std::string& source, uint32_t partition);
// The same for a deep scan, which reads the whole source whatever volume it names: a disk whose
// table names no NTFS partition (they may be what was lost) is taken whole.
std::optional<VolumeLocation> ChooseVolumeToDeepScan(const std::string& source, uint32_t partition);

// The partitions of a table, one a line, with a heading; all of them or the NTFS ones only.
void PrintPartitionTable(std::FILE* out, const PartitionTable& table, bool ntfsOnly);

}  // namespace salvoran::cli
