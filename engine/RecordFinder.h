#pragma once

#include <cstdint>
#include <vector>

#include "engine/FoundRecord.h"
#include "engine/MftsInUse.h"
#include "engine/SourceBlockConsumer.h"

namespace salvoran {

// Finds file records on the sector boundaries of the source as its blocks go by, and keeps those
// that pass CheckFoundRecord and that no MFT in use describes. A record that runs past the end of
// its block is completed from the start of the next. Keeps each found record's place
// (FoundRecord) and the records 0 (MftAnchor, at most MaxAnchors); nothing else of their bytes.
class RecordFinder : public SourceBlockConsumer {
 public:
  static constexpr size_t MaxAnchors = 64;

  explicit RecordFinder(const MftsInUse& inUse) : inUse_(inUse) {}

  void Consume(uint64_t sourceOffset, ByteView block) override;

  // In the order of their offsets.
  const std::vector<FoundRecord>& Records() const { return records_; }
  const std::vector<MftAnchor>& Anchors() const { return anchors_; }
  // Found records that can be files of the listing, system files left out.
  uint64_t FileCandidates() const { return fileCandidates_; }

 private:
  void Look(ByteView bytes, uint64_t sourceOffset);

  const MftsInUse& inUse_;
  std::vector<FoundRecord> records_;
  std::vector<MftAnchor> anchors_;
  uint64_t fileCandidates_ = 0;
  // Records that start in the last block but end in the next: their offsets, and the last
  // block's bytes from the first of them on.
  std::vector<uint64_t> deferred_;
  std::vector<std::byte> carry_;
  uint64_t carryOffset_ = 0;
  std::vector<std::byte> record_;
};

}  // namespace salvoran
