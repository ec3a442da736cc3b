#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "engine/RawVolume.h"

namespace salvoran {

// Where one partition's bytes lie on its disk.
struct PartitionSpan {
  uint32_t Number = 0;  // as the partition table numbers it, from 1
  uint64_t Offset = 0;  // bytes from the start of the disk
  uint64_t Size = 0;

  bool operator==(const PartitionSpan&) const = default;
};

// Where a volume's bytes come from, enough to open the very same bytes again for recovery.
struct VolumeLocation {
  VolumeLocation() = default;
  // A whole source: a block device, a raw image file or the first segment of an E01 image.
  VolumeLocation(std::string path) : Path(std::move(path)) {}  // NOLINT: a path is a location
  VolumeLocation(std::string path, PartitionSpan partition) : Path(std::move(path)), Partition(partition) {}

  std::string Path;
  std::optional<PartitionSpan> Partition;  // none when the whole source is the volume

  bool operator==(const VolumeLocation&) const = default;
};

// Opens a block device, a raw image or an E01 image (told apart by its signature), read-only.
OpenResult OpenSource(const std::string& path);

// Opens the location's source and, for a partition, the stretch of it that the partition is.
OpenResult OpenVolumeAt(const VolumeLocation& location);

// prefix, the system's text of the error, then the explanation when there is one.
std::string OpenFailureText(std::string_view prefix, const OpenResult& result);

}  // namespace salvoran
