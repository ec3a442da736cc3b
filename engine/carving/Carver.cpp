#include "engine/carving/Carver.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

struct Carver::Candidate {
  uint64_t Start = 0;
  const CarvedFormat* Format = nullptr;
  std::unique_ptr<FormatCheck> Check;  // while open
  uint64_t Fed = 0;                    // bytes handed to the check
  std::optional<CarvedFile> File;      // complete, held until no earlier candidate is open
  bool Open() const { return Check != nullptr; }
};

namespace {

constexpr uint32_t SectorBytes = 512;

uint64_t SaturatingAdd(uint64_t a, uint64_t b) {
  return b > std::numeric_limits<uint64_t>::max() - a ? std::numeric_limits<uint64_t>::max() : a + b;
}

std::string CarvedName(uint64_t firstCluster, const std::optional<CivilDateTime>& taken, std::string_view extension) {
  char name[96];
  if (taken) {
    std::snprintf(name, sizeof name, "%04d-%02d-%02d_%02d-%02d-%02d_carved-%08llu.", taken->Year, taken->Month,
                  taken->Day, taken->Hour, taken->Minute, taken->Second, static_cast<unsigned long long>(firstCluster));
  } else {
    std::snprintf(name, sizeof name, "carved-%08llu.", static_cast<unsigned long long>(firstCluster));
  }
  return std::string(name) + std::string(extension);
}

}  // namespace

Carver::Carver(CarvingArea area, FileSink sink) : area_(std::move(area)), sink_(std::move(sink)) {
  if (area_.ClusterBytes == 0) area_.ClusterBytes = SectorBytes;
  areaEnd_ = SaturatingAdd(area_.Offset, area_.Length);
  next_ = area_.Offset;
}

Carver::~Carver() = default;

bool Carver::ClusterFree(uint64_t sourceOffset) const {
  const uint64_t end = sourceOffset + 1;
  const auto range = std::lower_bound(inUse_.begin(), inUse_.end(), end,
                                      [](const auto& used, uint64_t at) { return used.second < at; });
  return range == inUse_.end() || range->first > sourceOffset;
}

void Carver::MarkClustersInUse(uint64_t blockOffset, ByteView block) {
  inUse_.clear();
  if (!area_.ClusterIsFree) return;
  const uint64_t blockEnd = blockOffset + block.size();
  for (uint64_t cluster = (blockOffset - area_.Offset) / area_.ClusterBytes;; ++cluster) {
    const uint64_t first = area_.Offset + cluster * area_.ClusterBytes;
    if (first >= blockEnd) break;
    if (area_.ClusterIsFree(cluster)) continue;
    const uint64_t begin = std::max(first, blockOffset), end = std::min(first + area_.ClusterBytes, blockEnd);
    if (!inUse_.empty() && inUse_.back().second == begin) {
      inUse_.back().second = end;
    } else {
      inUse_.emplace_back(begin, end);
    }
  }
}

void Carver::Consume(uint64_t sourceOffset, ByteView block) {
  // Only the part inside the area, and only bytes not seen yet.
  uint64_t offset = std::max(sourceOffset, area_.Offset);
  const uint64_t end = std::min(SaturatingAdd(sourceOffset, block.size()), areaEnd_);
  if (offset >= end) return;
  if (offset > next_) {
    // The bytes between were not read: nothing open can go on across them.
    for (Candidate& candidate : candidates_)
      if (candidate.Open()) EndData(candidate, DropReason::EndNotFound);
    waitingStart_.reset();
  }
  offset = std::max(offset, next_);
  if (offset >= end) return;
  block = block.subspan(static_cast<size_t>(offset - sourceOffset), static_cast<size_t>(end - offset));
  MarkClustersInUse(offset, block);

  if (waitingStart_) {
    std::vector<std::byte> head = waitingHead_;
    const size_t more = std::min(SignatureSpan - head.size(), block.size());
    head.insert(head.end(), block.begin(), block.begin() + static_cast<std::ptrdiff_t>(more));
    TryStart(*std::exchange(waitingStart_, std::nullopt), head, offset, block);
  }
  const uint64_t step = area_.ClusterBytes;
  for (uint64_t start = area_.Offset + (offset - area_.Offset + step - 1) / step * step; start < end; start += step) {
    if (start < acceptedUntil_ || !ClusterFree(start)) continue;
    const size_t at = static_cast<size_t>(start - offset);
    if (block.size() - at < SignatureSpan && end < areaEnd_) {
      waitingStart_ = start;
      waitingHead_.assign(block.begin() + static_cast<std::ptrdiff_t>(at), block.end());
      break;
    }
    TryStart(start, block.subspan(at, std::min(SignatureSpan, block.size() - at)), offset, block);
  }
  FeedAll(end, offset, block);
  next_ = end;
  Flush();
}

void Carver::TryStart(uint64_t start, ByteView head, uint64_t blockOffset, ByteView block) {
  const CarvedFormat* format = MatchCarvedFormat(head);
  if (!format) return;
  // Candidates open before it may end first and hold this start.
  FeedAll(start, blockOffset, block);
  if (start < acceptedUntil_) return;
  Candidate candidate;
  candidate.Start = start;
  candidate.Format = format;
  candidate.Check = format->MakeCheck();
  if (OpenCount() >= MaxOpenCandidates) {
    Drop(candidate, DropReason::TooManyOpen);
    return;
  }
  Candidate& added = candidates_.emplace_back(std::move(candidate));
  if (start < blockOffset) {
    // Its first bytes came with the block before.
    added.Fed = added.Check->Feed(waitingHead_);
    if (added.Check->Outcome() != CheckOutcome::Open) Resolve(added, DropReason::StructureBroken);
  }
}

void Carver::FeedAll(uint64_t until, uint64_t blockOffset, ByteView block) {
  for (Candidate& candidate : candidates_)
    if (candidate.Open()) Feed(candidate, until, blockOffset, block);
}

void Carver::Feed(Candidate& candidate, uint64_t until, uint64_t blockOffset, ByteView block) {
  const uint64_t bound = SaturatingAdd(candidate.Start, candidate.Format->MaxBytes);
  while (candidate.Open()) {
    const uint64_t at = candidate.Start + candidate.Fed;
    if (at >= until) return;
    if (at >= bound) return EndData(candidate, DropReason::EndNotFound);
    const auto used = std::lower_bound(inUse_.begin(), inUse_.end(), at,
                                       [](const auto& range, uint64_t offset) { return range.second <= offset; });
    if (used != inUse_.end() && used->first <= at) return EndData(candidate, DropReason::RunsIntoClustersInUse);
    uint64_t stop = std::min(until, bound);
    if (used != inUse_.end()) stop = std::min(stop, used->first);
    const ByteView bytes = block.subspan(static_cast<size_t>(at - blockOffset), static_cast<size_t>(stop - at));
    candidate.Fed += candidate.Check->Feed(bytes);
    if (candidate.Check->Outcome() != CheckOutcome::Open) return Resolve(candidate, DropReason::StructureBroken);
  }
}

void Carver::EndData(Candidate& candidate, DropReason reason) {
  candidate.Check->EndOfData();
  Resolve(candidate, reason);
}

// The candidate's check has an outcome; `reason` is why, if it failed.
void Carver::Resolve(Candidate& candidate, DropReason reason) {
  if (candidate.Check->Outcome() != CheckOutcome::Complete) return Drop(candidate, reason);
  candidate.File = Describe(candidate);
  candidate.Check.reset();
  ++heldFiles_;
  const uint64_t end = candidate.Start + candidate.File->Length;
  acceptedUntil_ = std::max(acceptedUntil_, end);
  for (Candidate& later : candidates_) {
    if (later.Start > candidate.Start && later.Start < end && later.Open()) Drop(later, DropReason::InsideCarvedFile);
  }
}

void Carver::Drop(Candidate& candidate, DropReason reason) {
  dropped_.Add(candidate.Check ? candidate.Check->Extension() : candidate.Format->Name, reason);
  candidate.Check.reset();
}

CarvedFile Carver::Describe(const Candidate& candidate) const {
  CarvedFile file;
  file.SourceOffset = candidate.Start;
  file.Length = candidate.Check->FileLength();
  file.FirstCluster = (candidate.Start - area_.Offset) / area_.ClusterBytes;
  file.Extension = std::string(candidate.Check->Extension());
  file.ContentTime = candidate.Check->ContentTime();
  file.Name = CarvedName(file.FirstCluster, file.ContentTime, file.Extension);
  return file;
}

size_t Carver::OpenCount() const {
  return static_cast<size_t>(std::count_if(candidates_.begin(), candidates_.end(),
                                           [](const Candidate& candidate) { return candidate.Open(); }));
}

void Carver::Flush() {
  while (!candidates_.empty()) {
    Candidate& front = candidates_.front();
    if (front.Open()) {
      if (heldFiles_ <= MaxHeldFiles) return;
      EndData(front, DropReason::TooManyOpen);
      continue;
    }
    if (front.File) {
      --heldFiles_;
      if (front.Start < emittedUntil_) {
        dropped_.Add(front.File->Extension, DropReason::InsideCarvedFile);
      } else {
        emittedUntil_ = front.Start + front.File->Length;
        sink_(std::move(*front.File));
      }
    }
    candidates_.pop_front();
  }
}

void Carver::Finish() {
  if (waitingStart_) {
    // The source ended within a signature's span of this start.
    const std::vector<std::byte> head = waitingHead_;
    TryStart(*std::exchange(waitingStart_, std::nullopt), head, next_, {});
  }
  for (Candidate& candidate : candidates_)
    if (candidate.Open()) EndData(candidate, DropReason::EndNotFound);
  Flush();
}

}  // namespace salvoran::carving
