#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "engine/BootSectorFinder.h"
#include "engine/DeletedFileScan.h"
#include "engine/SourceBlockConsumer.h"
#include "engine/WholeSourceRead.h"
#include "engine/carving/CarvedFile.h"

namespace salvoran {

// How much of the source is read between two listings of the files found so far.
inline constexpr uint64_t DeepScanCheckpointBytes = 256u << 20;

struct DeepScanSummary {
  ScanSummary Mft;           // the scan of the volume's MFT in use
  std::string MftFailure;    // why that scan could not run; empty when it did
  SourcePassSummary Pass;    // the one read of the whole source
  std::vector<FoundVolume> Volumes;  // every NTFS volume found by its boot sectors
  uint64_t FoundRecords = 0;         // records found outside the MFTs in use
  uint64_t FoundFiles = 0;           // files listed from them
  uint64_t CarvedFiles = 0;          // files found by their content and listed
  carving::DropCounts CarvingDropped;  // candidates carved and dropped, by type and reason
  bool Stopped = false;
};

// The deep scan: the scan of the volume's MFT as ScanDrive does it (its failure is kept, not
// thrown: the MFT may be what is lost), then one sequential read of the whole source
// (location.Path, whatever partition location names) that finds NTFS boot sectors and the file
// records no MFT in use describes, plus whatever more consumers look for. The found records are
// put back into the MFTs they came from (RebuildFoundMfts) and their files listed through the
// observer with FileOrigin::Found. The same read carves the clusters the scanned volume's bitmap
// marks free (the whole source, a sector at a time, when no volume could be scanned); after it,
// the carved files that no listed file claims are listed with FileOrigin::Carved. Files are listed as the read goes on, at each checkpoint, as
// soon as their folder reaches the root and nothing of them is missing; the others when the read
// ends, or when a stop is asked for, with what was found until then. Throws EngineError when the
// source cannot be opened.
DeepScanSummary DeepScanDrive(const VolumeLocation& location, VolumeGeometry& geometry, ScanObserver& observer,
                              std::span<SourceBlockConsumer* const> moreConsumers = {},
                              uint64_t checkpointBytes = DeepScanCheckpointBytes);

}  // namespace salvoran
