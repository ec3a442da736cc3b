#include "engine/RecordFinder.h"

#include <algorithm>
#include <cstring>

#include "engine/BootSector.h"
#include "engine/DeletedFileScan.h"
#include "engine/FileRecord.h"

namespace salvoran {
namespace {

constexpr uint64_t SectorStep = 512;
// ClaimedRecordSize reads the header up to its allocated-size field.
constexpr uint64_t HeaderBytes = 0x20;

uint64_t RoundUp(uint64_t value, uint64_t step) { return (value + step - 1) / step * step; }

}  // namespace

void RecordFinder::Consume(uint64_t sourceOffset, ByteView block) {
  if (!deferred_.empty()) {
    const size_t head = static_cast<size_t>(std::min<uint64_t>(block.size(), MaxFileRecordSize));
    carry_.insert(carry_.end(), block.begin(), block.begin() + static_cast<ptrdiff_t>(head));
    const ByteView joined(carry_);
    for (const uint64_t offset : deferred_) {
      const ByteView rest = joined.subspan(static_cast<size_t>(offset - carryOffset_));
      const std::optional<uint32_t> size = ClaimedRecordSize(rest);
      if (size && *size <= rest.size()) Look(rest.first(*size), offset);
    }
    deferred_.clear();
    carry_.clear();
  }
  for (uint64_t at = RoundUp(sourceOffset, SectorStep) - sourceOffset; at + 4 <= block.size(); at += SectorStep) {
    if (std::memcmp(block.data() + at, "FILE", 4) != 0) continue;
    const ByteView rest = block.subspan(static_cast<size_t>(at));
    if (rest.size() < HeaderBytes) {
      deferred_.push_back(sourceOffset + at);
      continue;
    }
    const std::optional<uint32_t> size = ClaimedRecordSize(rest);
    if (!size) continue;
    if (*size <= rest.size()) {
      Look(rest.first(*size), sourceOffset + at);
    } else {
      deferred_.push_back(sourceOffset + at);
    }
  }
  if (!deferred_.empty()) {
    carryOffset_ = deferred_.front();
    carry_.assign(block.begin() + static_cast<ptrdiff_t>(carryOffset_ - sourceOffset), block.end());
  }
}

void RecordFinder::Look(ByteView bytes, uint64_t sourceOffset) {
  record_.assign(bytes.begin(), bytes.end());
  const std::optional<FoundRecord> found = CheckFoundRecord(record_, sourceOffset);
  if (!found || inUse_.Describes(sourceOffset, record_)) return;
  records_.push_back(*found);
  if (found->FileCandidate && found->Number >= static_cast<uint32_t>(FirstUserRecord)) ++fileCandidates_;
  if (found->Number == 0 && anchors_.size() < MaxAnchors) {
    if (std::optional<MftAnchor> anchor = AnchorOf(record_, sourceOffset)) anchors_.push_back(std::move(*anchor));
  }
}

}  // namespace salvoran
