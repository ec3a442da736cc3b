#include "engine/ClusterBitmap.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "engine/AttributeHeader.h"
#include "engine/DataExtents.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/RunList.h"

namespace salvoran {
namespace {

constexpr uint64_t BitsPerByte = 8;
constexpr uint64_t WordBits = 64;

// Set bits of [firstBit, firstBit + bitCount) in bytes, bit 0 being the low bit of byte 0.
uint64_t CountSetBits(const std::vector<std::byte>& bytes, uint64_t firstBit, uint64_t bitCount) {
  const auto bitAt = [&](uint64_t bit) {
    return (std::to_integer<unsigned>(bytes[static_cast<size_t>(bit / BitsPerByte)]) >> (bit % BitsPerByte)) & 1u;
  };
  uint64_t count = 0;
  uint64_t bit = firstBit;
  const uint64_t end = firstBit + bitCount;
  for (; bit < end && bit % WordBits != 0; ++bit) count += bitAt(bit);
  for (; end - bit >= WordBits; bit += WordBits) {
    uint64_t word;
    std::memcpy(&word, bytes.data() + bit / BitsPerByte, sizeof word);
    count += static_cast<uint64_t>(std::popcount(word));
  }
  for (; bit < end; ++bit) count += bitAt(bit);
  return count;
}

}  // namespace

void ClusterBitmap::Open() {
  opened_ = true;
  const VolumeGeometry& geometry = geometry_;
  std::vector<std::byte> record;
  if (!fetcher_.FetchRecord(BitmapRecord, record) || (RecordFlags(record) & RecordInUse) == 0) return;
  const FileAttributes attributes = GatherFileAttributes(record, BitmapRecord, fetcher_, FileState::Live);
  const DataStream* data = attributes.Stream(u"");
  if (!data || data->Pieces.empty() || !IsNonResident(data->Pieces.front())) return;
  try {
    const JoinedExtents extents = JoinDataExtents(data->Pieces, geometry.TotalClusters);
    ExtentRuns runs(extents.Pieces, geometry.TotalClusters);
    for (std::optional<DataRun> run = runs.Next(); run; run = runs.Next()) map_.Append(*run, geometry.BytesPerCluster);
    bitmapBytes_ = std::min(extents.DataSize, map_.CoveredBytes());
  } catch (const EngineError&) {
    return;
  }
  countableClusters_ = std::min(geometry.TotalClusters, bitmapBytes_ * BitsPerByte);
  if (volume_.Size() != 0) countableClusters_ = std::min(countableClusters_, volume_.Size() / geometry.BytesPerCluster);
}

const ClusterBitmap::Window& ClusterBitmap::LoadWindow(uint64_t window) {
  ++uses_;
  if (lastWindow_ < windows_.size() && windows_[lastWindow_].Index == window) {
    windows_[lastWindow_].LastUse = uses_;
    return windows_[lastWindow_];
  }
  const auto kept = std::find_if(windows_.begin(), windows_.end(), [&](const Window& w) { return w.Index == window; });
  const bool wasKept = kept != windows_.end();
  if (wasKept) {
    lastWindow_ = static_cast<size_t>(kept - windows_.begin());
  } else if (windows_.size() < KeptWindows) {
    lastWindow_ = windows_.size();
    windows_.emplace_back();
  } else {
    const auto oldest = std::min_element(windows_.begin(), windows_.end(),
                                         [](const Window& a, const Window& b) { return a.LastUse < b.LastUse; });
    lastWindow_ = static_cast<size_t>(oldest - windows_.begin());
  }
  Window& slot = windows_[lastWindow_];
  slot.LastUse = uses_;
  if (wasKept) return slot;

  slot.Index = window;
  slot.Bits.assign(WindowBytes, std::byte{0});
  slot.Unreadable.clear();
  const uint64_t first = window * WindowBytes;
  const uint64_t length = std::min(WindowBytes, bitmapBytes_ - first);
  map_.ForEachPiece(first, length, [&](uint64_t volumeByte, uint64_t pieceLength, uint64_t bitmapByte) {
    const uint64_t start = bitmapByte - first;
    const size_t got = volume_.ReadAt(volumeByte, std::span(slot.Bits).subspan(static_cast<size_t>(start), pieceLength))
                           .BytesRead;
    if (got < pieceLength) {
      std::fill(slot.Bits.begin() + static_cast<ptrdiff_t>(start + got),
                slot.Bits.begin() + static_cast<ptrdiff_t>(start + pieceLength), std::byte{0});
      slot.Unreadable.emplace_back(start + got, start + pieceLength);
    }
  });
  return slot;
}

BitmapCount ClusterBitmap::Count(uint64_t first, uint64_t count) {
  if (!opened_) Open();
  BitmapCount counted;
  if (first >= countableClusters_) return {0, count};
  counted.Unknown = count - std::min(count, countableClusters_ - first);
  count -= counted.Unknown;
  constexpr uint64_t WindowClusters = WindowBytes * BitsPerByte;
  while (count > 0) {
    const uint64_t offset = first % WindowClusters;
    const uint64_t span = std::min(count, WindowClusters - offset);
    const Window& window = LoadWindow(first / WindowClusters);
    counted.InUse += CountSetBits(window.Bits, offset, span);
    for (const auto& [byteStart, byteEnd] : window.Unreadable) {
      const uint64_t from = std::max(offset, byteStart * BitsPerByte);
      const uint64_t to = std::min(offset + span, byteEnd * BitsPerByte);
      if (from < to) counted.Unknown += to - from;
    }
    first += span;
    count -= span;
  }
  return counted;
}

StreamClusterUse CountClusterUse(const DataStream& stream, const VolumeGeometry& geometry, ClusterBitmap& bitmap) {
  // Clusters from this VCN on hold nothing the file reads. A compressed unit is read whole.
  uint64_t contentVcns = UINT64_MAX;
  if (const ByteView first = stream.First(); !first.empty() && IsNonResident(first)) {
    const NonResidentHeader header = ReadNonResidentHeader(first);
    const uint64_t contentBytes = std::min(header.InitializedSize, header.DataSize);
    contentVcns = contentBytes / geometry.BytesPerCluster + (contentBytes % geometry.BytesPerCluster != 0);
    if ((header.Flags & AttributeCompressed) != 0 && header.CompressionUnit > 0 && header.CompressionUnit < 32) {
      const uint64_t unitClusters = uint64_t{1} << header.CompressionUnit;
      contentVcns = (contentVcns + unitClusters - 1) / unitClusters * unitClusters;
    }
  }
  StreamClusterUse use;
  for (const ByteView piece : stream.Pieces) {
    if (!IsNonResident(piece)) continue;
    const NonResidentHeader header = ReadNonResidentHeader(piece);
    // An empty piece's last VCN is -1; one that ends before it starts names nothing.
    uint64_t vcns = header.LastVcn + 1 >= header.FirstVcn ? header.LastVcn + 1 - header.FirstVcn : 0;
    std::vector<DataRun> runs;
    try {
      runs = DecodeRunList(RunListBytes(piece), geometry.TotalClusters);
    } catch (const EngineError&) {
      continue;
    }
    uint64_t vcn = header.FirstVcn;
    for (const DataRun& run : runs) {
      const uint64_t clusters = std::min(run.ClusterCount, vcns);
      vcns -= clusters;
      if (!run.Sparse) {
        use.Clusters += clusters;
        if (clusters > 0) use.Runs.push_back({run.StartCluster, clusters});
        const uint64_t withContent = vcn < contentVcns ? std::min(clusters, contentVcns - vcn) : 0;
        const BitmapCount counted = bitmap.Count(run.StartCluster, withContent);
        use.InUse += counted.InUse;
        use.Unknown += counted.Unknown;
      }
      vcn += clusters;
    }
  }
  return use;
}

}  // namespace salvoran
