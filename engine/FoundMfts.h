#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/BootSectorFinder.h"
#include "engine/FoundRecord.h"
#include "engine/VolumeGeometry.h"

namespace salvoran {

// What is known of the source when its found records are put back into the MFTs they came from.
struct FoundRecordContext {
  std::string SourcePath;
  uint64_t SourceSize = 0;
  // The volume that was scanned, when its MFT could be read: a found record inside it that no
  // other MFT claims belongs to it (the old MFT of a quick format).
  const VolumeGeometry* Scanned = nullptr;
  uint64_t ScannedOffset = 0;
  uint64_t ScannedSize = 0;
  // Volumes found by their boot sectors elsewhere in the source.
  std::vector<FoundVolume> Volumes;
};

// One MFT rebuilt from found records: the geometry its files are read and restored through,
// and which of the records are its files.
struct FoundMft {
  // Null when no boot sector, no volume and no record 0 tells where the volume of these records
  // starts: their names, folders and resident content are known, their clusters not.
  std::shared_ptr<const VolumeGeometry> Geometry;
  uint64_t VolumeOffset = 0;  // in the source; 0 with no geometry
  std::vector<size_t> Files;  // indexes into the records: base records of files, system files left out
  size_t Records = 0;         // of all kinds
};

// Puts the found records (in the order of their offsets) into the MFTs they came from.
//
// Where an MFT's volume starts: a record 0 (anchor) maps every record number to a place in its
// volume through its runs, so each found record whose number it maps gives the volume's start as
// its own offset less that place; the start most records agree on is taken, and the records that
// agree belong to that anchor's MFT. A record that no anchor places belongs to the innermost
// volume around it: the scanned one, or one found by its boot sector. The cluster size is the
// anchor's (its $DATA's allocated bytes over its clusters), or else the size most of the MFT's
// records tell by their own non-resident attributes, or else the volume's boot sector's.
//
// A number that two records claim and no anchor decides between is left out of the MFT's map, so
// neither is taken for the other when folders and extension records are looked up. An MFT inside
// the scanned volume that lacks the root folder's record (5) takes the volume's own root, which a
// format puts back in the same place; and its $Bitmap (6) when the cluster sizes agree, so that
// what the volume uses now counts as overwritten.
std::vector<FoundMft> RebuildFoundMfts(const std::vector<FoundRecord>& records, const std::vector<MftAnchor>& anchors,
                                       const FoundRecordContext& context);

}  // namespace salvoran
