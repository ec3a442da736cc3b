#pragma once

#include <cstdint>
#include <string>

#include "engine/MftMap.h"
#include "engine/VolumeLocation.h"

namespace salvoran {

// The layout of the volume of the last scan; recovery reads it afterwards.
struct VolumeGeometry {
  uint32_t FileRecordSize = 0;
  uint32_t BytesPerCluster = 0;  // up to 2 MiB, so wider than a 16-bit field
  uint16_t BytesPerSector = 0;
  uint32_t SectorsPerCluster = 0;
  VolumeLocation DrivePath;  // the source, and the partition of it when it has a table
  int64_t MftOffset = 0;  // offset of the MFT's first run
  int64_t MftClusterCount = 0;
  int32_t RecordCount = 0;
  uint64_t TotalClusters = 0;  // bounds every run read from the volume
  MftMap Mft;                  // record index to volume offset, across the MFT's runs
  uint8_t RepairedFrom = 0;    // VolumeRepair bits: the copies read in place of damaged originals
  // An MFT the deep scan found outside the volume's MFT in use: Mft maps the records found, and a
  // record is listed and restored whether it was in use or free while that MFT was current.
  bool FoundMft = false;
  // Of a found MFT: its $Bitmap is one of its own records, so the clusters of a file that was in
  // use then were its own, not another file's.
  bool OwnClusterBitmap = false;
};

// The byte offset of the volume in its source: its partition's, or 0 for a whole source.
inline uint64_t VolumeOffsetInSource(const VolumeGeometry& geometry) {
  return geometry.DrivePath.Partition ? geometry.DrivePath.Partition->Offset : 0;
}

}  // namespace salvoran
