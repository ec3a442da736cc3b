#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/ByteView.h"
#include "engine/RunList.h"

namespace salvoran {

// A file record found in the source outside the MFTs in use: as little of it as is needed to
// place it in the MFT it came from. Its bytes are read again when its file is described.
struct FoundRecord {
  uint64_t SourceOffset = 0;
  uint32_t Number = 0;      // the record's own MFT index (0x2C)
  uint32_t BaseNumber = 0;  // the index of its base record; 0 for a base record
  uint16_t Sequence = 0;
  uint16_t Flags = 0;
  uint8_t RecordSizeShift = 0;   // its size is 1 << RecordSizeShift bytes
  uint8_t ClusterSizeShift = 0;  // the cluster size its own attributes tell, as a shift; 0 when none do
  bool FileCandidate = false;    // a base record with a name and data: what the listing may show

  uint32_t RecordSize() const { return uint32_t{1} << RecordSizeShift; }
};

// A record 0 found in the source: the $MFT of some MFT, whose runs say where each of that MFT's
// records lies on its volume.
struct MftAnchor {
  uint64_t SourceOffset = 0;
  uint32_t RecordSize = 0;
  uint32_t ClusterSize = 0;  // from its $DATA's allocated size and VCN range
  std::vector<DataRun> Runs;
};

// The checks a record found outside any MFT must pass: the header NTFS writes
// (ClaimedRecordSize), its fixups (applied in place), its own number, flags NTFS uses. Nothing
// when it fails one.
std::optional<FoundRecord> CheckFoundRecord(MutableByteView record, uint64_t sourceOffset);

// The cluster size a base record's own non-resident attributes tell (allocated bytes over the
// clusters of their VCN range), when they tell one; 0 when none does.
uint32_t ClusterSizeToldBy(ByteView record);

// record as the $MFT of some MFT, when it is one: number 0, a whole non-resident $DATA whose runs
// decode. Nothing otherwise.
std::optional<MftAnchor> AnchorOf(ByteView record, uint64_t sourceOffset);

}  // namespace salvoran
