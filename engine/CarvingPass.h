#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/ClaimedSourceBytes.h"
#include "engine/DeletedFileScan.h"
#include "engine/SourceBlockConsumer.h"
#include "engine/carving/Carver.h"
#include "engine/carving/ClaimedClusters.h"

namespace salvoran {

// The carving of the deep scan: a carver that looks at the blocks of the deep pass's one read,
// and after the read the carved files no listed file claims, listed as files of their own.
class CarvingPass : public SourceBlockConsumer {
 public:
  // The area is the scanned volume's free clusters when its bitmap can say (volume and geometry
  // given), else the whole source a sector at a time.
  CarvingPass(VolumeSource* volume, const VolumeGeometry* geometry, uint64_t volumeOffset);
  ~CarvingPass() override;

  void Consume(uint64_t sourceOffset, ByteView block) override { carver_->Consume(sourceOffset, block); }
  void Finish() override { carver_->Finish(); }

  // After the read: the carved files none of the listed files claims, to the observer with
  // FileOrigin::Carved. Returns how many.
  uint64_t ListFiles(const ClaimedSourceBytes& claimed, ScanObserver& observer);

  // The candidates dropped, by type and reason; whole once the files are listed.
  const carving::DropCounts& Dropped() const { return dropped_; }

 private:
  struct BitmapReader;
  std::unique_ptr<BitmapReader> bitmap_;
  carving::CarvingArea area_;
  std::unique_ptr<carving::Carver> carver_;
  std::vector<carving::CarvedFile> carved_;
  carving::DropCounts dropped_;
};

// The listed file a carved file becomes: named, typed and sized from its content; its
// RecordOffset is its first byte in the source.
FoundFile CarvedFoundFile(const carving::CarvedFile& carved, uint32_t clusterBytes);

}  // namespace salvoran
