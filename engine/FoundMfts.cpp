#include "engine/FoundMfts.h"

#include <algorithm>
#include <array>
#include <limits>
#include <map>
#include <optional>
#include <unordered_map>

#include "engine/ClusterBitmap.h"
#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "engine/OriginalFolders.h"

namespace salvoran {
namespace {

constexpr uint64_t SectorAlignment = 512;
constexpr uint32_t DefaultSectorSize = 512;
constexpr size_t ShiftCount = 32;

// Where an anchor's MFT lies: the start of its volume, and its runs as a map.
struct Placement {
  uint64_t VolumeOffset = 0;
  uint32_t RecordSize = 0;
  uint32_t ClusterSize = 0;
  MftMap Map;

  bool Places(const FoundRecord& record) const {
    if (record.RecordSize() != RecordSize || record.SourceOffset < VolumeOffset) return false;
    const std::optional<uint64_t> place = Map.VolumeOffsetOf(uint64_t{record.Number} * RecordSize);
    return place && *place == record.SourceOffset - VolumeOffset;
  }
};

std::optional<Placement> PlaceAnchor(const MftAnchor& anchor, const std::vector<FoundRecord>& records) {
  Placement placement;
  placement.RecordSize = anchor.RecordSize;
  placement.ClusterSize = anchor.ClusterSize;
  try {
    placement.Map = MftMap(anchor.Runs, anchor.ClusterSize);
  } catch (const EngineError&) {
    return std::nullopt;
  }
  std::unordered_map<uint64_t, uint64_t> votes;
  for (const FoundRecord& record : records) {
    if (record.RecordSize() != anchor.RecordSize) continue;
    const std::optional<uint64_t> place = placement.Map.VolumeOffsetOf(uint64_t{record.Number} * anchor.RecordSize);
    if (!place || *place > record.SourceOffset || (record.SourceOffset - *place) % SectorAlignment != 0) continue;
    ++votes[record.SourceOffset - *place];
  }
  if (votes.empty()) return std::nullopt;
  const auto best = std::max_element(votes.begin(), votes.end(), [](const auto& a, const auto& b) {
    return a.second < b.second || (a.second == b.second && a.first > b.first);
  });
  placement.VolumeOffset = best->first;
  return placement;
}

// A volume around found records, as the source shows it.
struct KnownVolume {
  uint64_t Offset = 0;
  uint64_t Size = 0;
  uint32_t ClusterSize = 0;
  uint16_t SectorSize = DefaultSectorSize;
  uint64_t TotalClusters = 0;  // as its boot sector says, at ClusterSize
};

// Where a record of a found MFT lies in its volume.
struct Place {
  uint32_t Number = 0;
  uint64_t VolumeByte = 0;
};
using Places = std::vector<Place>;  // in number order

bool ByNumber(const Place& a, const Place& b) { return a.Number < b.Number; }

bool Holds(const Places& places, uint32_t number) {
  return std::binary_search(places.begin(), places.end(), Place{number, 0}, ByNumber);
}

struct GroupKey {
  uint64_t VolumeOffset = 0;
  uint32_t RecordSize = 0;
  auto operator<=>(const GroupKey&) const = default;
};

class Rebuild {
 public:
  Rebuild(const std::vector<FoundRecord>& records, const std::vector<MftAnchor>& anchors,
          const FoundRecordContext& context)
      : records_(records), context_(context) {
    for (const MftAnchor& anchor : anchors) {
      std::optional<Placement> placement = PlaceAnchor(anchor, records);
      if (!placement) continue;
      const bool known = std::any_of(placements_.begin(), placements_.end(), [&](const Placement& p) {
        return p.VolumeOffset == placement->VolumeOffset && p.RecordSize == placement->RecordSize;
      });
      if (!known) placements_.push_back(std::move(*placement));
    }
    if (context.Scanned) {
      volumes_.push_back({context.ScannedOffset, context.ScannedSize, context.Scanned->BytesPerCluster,
                          context.Scanned->BytesPerSector, context.Scanned->TotalClusters});
    }
    for (const FoundVolume& volume : context.Volumes) {
      volumes_.push_back({volume.Offset, volume.Size, volume.Boot.BytesPerCluster, volume.Boot.BytesPerSector,
                          volume.Boot.TotalSectors / volume.Boot.SectorsPerCluster});
    }
    for (const Placement& placement : placements_) {
      if (ContainingVolume(placement.VolumeOffset) == nullptr || ContainingVolume(placement.VolumeOffset)->Offset !=
                                                                       placement.VolumeOffset) {
        const uint64_t size = context.SourceSize > placement.VolumeOffset ? context.SourceSize - placement.VolumeOffset
                                                                          : std::numeric_limits<uint64_t>::max();
        volumes_.push_back({placement.VolumeOffset, size, 0, DefaultSectorSize, 0});
      }
    }
  }

  std::vector<FoundMft> Run() {
    std::map<GroupKey, std::vector<size_t>> groups;
    // The records of one MFT lie together: the group of the record before is looked up once.
    std::vector<size_t>* lastGroup = nullptr;
    GroupKey lastKey;
    for (size_t i = 0; i < records_.size(); ++i) {
      const FoundRecord& record = records_[i];
      std::optional<uint64_t> volume;
      for (const Placement& placement : placements_) {
        if (placement.Places(record)) {
          volume = placement.VolumeOffset;
          break;
        }
      }
      if (!volume) {
        const KnownVolume* around = ContainingVolume(record.SourceOffset);
        if (around == nullptr) continue;  // no volume known: its clusters could not be placed
        volume = around->Offset;
      }
      const GroupKey key{*volume, record.RecordSize()};
      if (lastGroup == nullptr || key != lastKey) {
        lastGroup = &groups[key];
        lastKey = key;
      }
      lastGroup->push_back(i);
    }
    std::vector<FoundMft> mfts;
    for (const auto& [key, members] : groups) mfts.push_back(Build(key, members));
    return mfts;
  }

 private:
  const KnownVolume* ContainingVolume(uint64_t offset) const {
    const KnownVolume* innermost = nullptr;
    for (const KnownVolume& volume : volumes_) {
      if (offset >= volume.Offset && offset - volume.Offset < volume.Size &&
          (innermost == nullptr || volume.Offset > innermost->Offset)) {
        innermost = &volume;
      }
    }
    return innermost;
  }

  const KnownVolume* VolumeAt(uint64_t offset) const {
    for (const KnownVolume& volume : volumes_) {
      if (volume.Offset == offset && volume.ClusterSize != 0) return &volume;
    }
    return nullptr;
  }

  const Placement* PlacementOf(const GroupKey& key) const {
    for (const Placement& placement : placements_) {
      if (placement.VolumeOffset == key.VolumeOffset && placement.RecordSize == key.RecordSize) return &placement;
    }
    return nullptr;
  }

  uint32_t ClusterSizeOf(const GroupKey& key, const std::vector<size_t>& members) const {
    if (const Placement* placement = PlacementOf(key)) return placement->ClusterSize;
    std::array<size_t, ShiftCount> told{};
    for (size_t member : members) {
      if (records_[member].ClusterSizeShift != 0) ++told[records_[member].ClusterSizeShift % ShiftCount];
    }
    const auto most = std::max_element(told.begin(), told.end());
    if (*most > 0) return uint32_t{1} << (most - told.begin());
    const KnownVolume* volume = VolumeAt(key.VolumeOffset);
    return volume ? volume->ClusterSize : 0;
  }

  // The place of each record of the MFT, by number, in number order; a number two records claim
  // counts only when the anchor places one of them.
  Places PlacesByNumber(const GroupKey& key, const std::vector<size_t>& members) const {
    const Placement* placement = PlacementOf(key);
    std::vector<size_t> byNumber = members;
    std::sort(byNumber.begin(), byNumber.end(),
              [&](size_t a, size_t b) { return records_[a].Number < records_[b].Number; });
    Places places;
    for (auto first = byNumber.begin(); first != byNumber.end();) {
      const uint32_t number = records_[*first].Number;
      const auto end = std::find_if(first, byNumber.end(), [&](size_t m) { return records_[m].Number != number; });
      auto chosen = end;
      if (end - first == 1) {
        chosen = first;
      } else if (placement) {
        const auto placed = [&](size_t member) { return placement->Places(records_[member]); };
        const auto one = std::find_if(first, end, placed);
        if (one != end && std::none_of(one + 1, end, placed)) chosen = one;
      }
      if (chosen != end) places.push_back({number, records_[*chosen].SourceOffset - key.VolumeOffset});
      first = end;
    }
    return places;
  }

  // The scanned volume's own record of that number, for an MFT inside it that lacks its own.
  void BorrowFromScanned(const GroupKey& key, uint32_t number, Places& places) const {
    const VolumeGeometry* scanned = context_.Scanned;
    if (!scanned || key.VolumeOffset != context_.ScannedOffset || key.RecordSize != scanned->FileRecordSize ||
        Holds(places, number)) {
      return;
    }
    if (const std::optional<uint64_t> place = scanned->Mft.VolumeOffsetOf(uint64_t{number} * key.RecordSize)) {
      places.insert(std::lower_bound(places.begin(), places.end(), Place{number, 0}, ByNumber), {number, *place});
    }
  }

  FoundMft Build(const GroupKey& key, const std::vector<size_t>& members) const {
    auto geometry = std::make_shared<VolumeGeometry>();
    const uint32_t clusterSize = ClusterSizeOf(key, members);
    const KnownVolume* volume = VolumeAt(key.VolumeOffset);
    Places places = PlacesByNumber(key, members);
    geometry->OwnClusterBitmap = Holds(places, static_cast<uint32_t>(BitmapRecord));
    BorrowFromScanned(key, RootFolderRecord, places);
    if (context_.Scanned && clusterSize == context_.Scanned->BytesPerCluster) {
      BorrowFromScanned(key, static_cast<uint32_t>(BitmapRecord), places);
    }

    std::vector<MftMap::Extent> extents;
    for (const auto& [number, place] : places) {
      const uint64_t mftByte = uint64_t{number} * key.RecordSize;
      if (!extents.empty() && extents.back().MftByte + extents.back().Length == mftByte &&
          extents.back().VolumeByte + extents.back().Length == place) {
        extents.back().Length += key.RecordSize;
      } else {
        extents.push_back({mftByte, place, key.RecordSize});
      }
    }
    geometry->FileRecordSize = key.RecordSize;
    geometry->BytesPerCluster = clusterSize;
    geometry->BytesPerSector = volume ? volume->SectorSize : DefaultSectorSize;
    geometry->SectorsPerCluster = clusterSize / geometry->BytesPerSector;
    geometry->RecordCount = places.empty() ? 0 : static_cast<int32_t>(std::min<uint64_t>(
                                                     uint64_t{places.back().Number} + 1,
                                                     std::numeric_limits<int32_t>::max()));
    geometry->Mft = MftMap(std::move(extents));
    geometry->FoundMft = true;
    if (const Placement* placement = PlacementOf(key); placement && !placement->Map.Extents().empty()) {
      geometry->MftOffset = static_cast<int64_t>(placement->Map.Extents().front().VolumeByte);
    }
    const uint64_t sourceRoom = context_.SourceSize > key.VolumeOffset ? context_.SourceSize - key.VolumeOffset
                                                                       : std::numeric_limits<int64_t>::max();
    const uint64_t room = volume ? volume->Size : sourceRoom;
    if (clusterSize != 0) {
      geometry->TotalClusters = volume && volume->ClusterSize == clusterSize && volume->TotalClusters != 0
                                    ? volume->TotalClusters
                                    : room / clusterSize;
      geometry->TotalClusters = std::min<uint64_t>(geometry->TotalClusters,
                                                   std::numeric_limits<int64_t>::max() / clusterSize);
    }
    if (context_.Scanned && key.VolumeOffset == context_.ScannedOffset) {
      geometry->DrivePath = context_.Scanned->DrivePath;
    } else {
      geometry->DrivePath = VolumeLocation(context_.SourcePath, PartitionSpan{0, key.VolumeOffset, room});
    }

    FoundMft mft;
    mft.VolumeOffset = key.VolumeOffset;
    mft.Records = members.size();
    for (size_t member : members) {
      if (records_[member].FileCandidate && records_[member].Number >= static_cast<uint32_t>(FirstUserRecord)) {
        mft.Files.push_back(member);
      }
    }
    mft.Geometry = std::move(geometry);
    return mft;
  }

  const std::vector<FoundRecord>& records_;
  const FoundRecordContext& context_;
  std::vector<Placement> placements_;
  std::vector<KnownVolume> volumes_;
};

}  // namespace

std::vector<FoundMft> RebuildFoundMfts(const std::vector<FoundRecord>& records, const std::vector<MftAnchor>& anchors,
                                       const FoundRecordContext& context) {
  return Rebuild(records, anchors, context).Run();
}

}  // namespace salvoran
