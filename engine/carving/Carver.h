#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "engine/ByteView.h"
#include "engine/carving/CarvedFile.h"
#include "engine/carving/CarvedFormats.h"

namespace salvoran::carving {

// Where to carve: a volume within the source (or the whole source), where its files may start,
// and which of its clusters are free.
struct CarvingArea {
  uint64_t Offset = 0;  // its first byte in the source
  uint64_t Length = std::numeric_limits<uint64_t>::max();
  uint32_t ClusterBytes = 512;  // files start on these boundaries: clusters, or sectors where unknown
  // Whether a cluster of the area (counted from Offset) is free; none: all are.
  std::function<bool(uint64_t cluster)> ClusterIsFree;
};

// Finds files by their content in the free clusters of an area while the source is read once,
// from start to end, in blocks: one more consumer of that read. A possible start is a cluster
// boundary in a free cluster, outside any file already carved, whose bytes match a format's
// signature; the format's unit then follows the candidate until its structure ends or breaks.
// Carved files reach the sink in the order of their starts, once no candidate that began
// earlier could still hold them.
class Carver {
 public:
  using FileSink = std::function<void(CarvedFile&&)>;

  Carver(CarvingArea area, FileSink sink);
  ~Carver();
  Carver(const Carver&) = delete;
  Carver& operator=(const Carver&) = delete;

  // The next block of the source; blocks come in order. A gap ends the candidates open.
  void Consume(uint64_t sourceOffset, ByteView block);
  // The read is over: candidates still open end here.
  void Finish();

  const DropCounts& Dropped() const { return dropped_; }

  // Candidates followed at once; each holds at most a unit's read buffer and its inflater.
  static constexpr size_t MaxOpenCandidates = 16;
  // Carved files held back while an earlier candidate is open: past this the oldest open
  // candidate is given up, so memory stays bounded.
  static constexpr size_t MaxHeldFiles = 1u << 16;

 private:
  struct Candidate;

  bool ClusterFree(uint64_t sourceOffset) const;
  void MarkClustersInUse(uint64_t blockOffset, ByteView block);
  void TryStart(uint64_t start, ByteView head, uint64_t blockOffset, ByteView block);
  void FeedAll(uint64_t until, uint64_t blockOffset, ByteView block);
  void Feed(Candidate& candidate, uint64_t until, uint64_t blockOffset, ByteView block);
  void EndData(Candidate& candidate, DropReason reason);
  void Resolve(Candidate& candidate, DropReason reason);
  void Drop(Candidate& candidate, DropReason reason);
  void Flush();
  size_t OpenCount() const;
  CarvedFile Describe(const Candidate& candidate) const;

  CarvingArea area_;
  uint64_t areaEnd_;
  FileSink sink_;
  std::deque<Candidate> candidates_;  // in the order of their starts
  uint64_t next_;                     // the next source byte expected
  uint64_t acceptedUntil_ = 0;        // no candidate starts before this: a carved file lies there
  uint64_t emittedUntil_ = 0;
  size_t heldFiles_ = 0;
  std::vector<std::pair<uint64_t, uint64_t>> inUse_;  // the current block's clusters in use, merged
  // A start too near a block's end to match its signature waits for the next block.
  std::optional<uint64_t> waitingStart_;
  std::vector<std::byte> waitingHead_;
  DropCounts dropped_;
};

}  // namespace salvoran::carving
