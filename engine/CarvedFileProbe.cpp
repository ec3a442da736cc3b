#include "engine/CarvedFileProbe.h"

#include <algorithm>
#include <vector>

#include "engine/CarvingPass.h"
#include "engine/WholeSourceRead.h"
#include "engine/carving/Carver.h"

namespace salvoran {

std::optional<FoundFile> ProbeCarvedFile(VolumeSource& source, uint64_t offset, uint64_t length, uint64_t areaOffset,
                                         uint32_t clusterBytes) {
  if (offset > source.Size() || length > source.Size() - offset || offset < areaOffset || clusterBytes == 0) {
    return std::nullopt;
  }
  carving::CarvingArea area;
  area.Offset = areaOffset;
  area.Length = offset + length - areaOffset;
  area.ClusterBytes = clusterBytes;
  std::optional<carving::CarvedFile> found;
  carving::Carver carver(area, [&](carving::CarvedFile&& file) {
    if (file.SourceOffset == offset && file.Length == length) found = std::move(file);
  });
  std::vector<std::byte> block(static_cast<size_t>(std::min<uint64_t>(length, SourceBlockBytes)));
  for (uint64_t at = offset; at < offset + length;) {
    const std::span<std::byte> part(block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), offset + length - at)));
    const ReadOutcome read = source.ReadAt(at, part);
    if (read.Failed() || read.BytesRead != part.size()) return std::nullopt;
    carver.Consume(at, part);
    at += part.size();
  }
  carver.Finish();
  if (!found) return std::nullopt;
  return CarvedFoundFile(*found, clusterBytes);
}

std::optional<FoundFile> ProbeCarvedFile(VolumeSource& source, uint64_t offset, uint64_t length,
                                         const VolumeGeometry* scanned) {
  constexpr uint32_t SectorBytes = 512;
  uint64_t areaOffset = scanned ? VolumeOffsetInSource(*scanned) : 0;
  uint32_t clusterBytes = scanned && scanned->BytesPerCluster != 0 ? scanned->BytesPerCluster : SectorBytes;
  if (offset < areaOffset || (offset - areaOffset) % clusterBytes != 0) {
    areaOffset = 0;
    clusterBytes = SectorBytes;
  }
  return ProbeCarvedFile(source, offset, length, areaOffset, clusterBytes);
}

}  // namespace salvoran
