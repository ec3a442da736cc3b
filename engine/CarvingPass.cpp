#include "engine/CarvingPass.h"

#include <algorithm>

#include "engine/ClusterBitmap.h"
#include "engine/DateTime.h"
#include "engine/FileNameText.h"
#include "engine/VolumeRecordFetcher.h"

namespace salvoran {
namespace {

constexpr uint32_t SectorBytes = 512;
constexpr int64_t SecondsPerDay = 86400;

std::u16string AsciiText(std::string_view text) { return std::u16string(text.begin(), text.end()); }

}  // namespace

// The carver asks of every cluster in turn: a stretch that is all free or all in use is told
// by one look at the bitmap, and only a mixed one cluster by cluster.
struct CarvingPass::BitmapReader {
  BitmapReader(VolumeSource& volume, const VolumeGeometry& geometry)
      : Fetcher(volume, geometry), Bitmap(volume, geometry, Fetcher) {}

  // Free means known to be free: a cluster the bitmap cannot tell of is not carved.
  bool Free(uint64_t cluster) {
    const uint64_t stretch = cluster / StretchClusters;
    if (stretch != stretch_) {
      stretch_ = stretch;
      const BitmapCount counted = Bitmap.Count(stretch * StretchClusters, StretchClusters);
      stretchState_ = counted == BitmapCount{}                                       ? State::AllFree
                      : counted.Unknown == 0 && counted.InUse == StretchClusters ? State::AllInUse
                                                                                     : State::Mixed;
    }
    if (stretchState_ != State::Mixed) return stretchState_ == State::AllFree;
    return Bitmap.Count(cluster, 1) == BitmapCount{};
  }

  static constexpr uint64_t StretchClusters = 1024;
  enum class State { AllFree, AllInUse, Mixed };
  VolumeRecordFetcher Fetcher;
  ClusterBitmap Bitmap;
  uint64_t stretch_ = UINT64_MAX;
  State stretchState_ = State::Mixed;
};

CarvingPass::CarvingPass(VolumeSource* volume, const VolumeGeometry* geometry, uint64_t volumeOffset) {
  if (volume && geometry && geometry->BytesPerCluster != 0) {
    bitmap_ = std::make_unique<BitmapReader>(*volume, *geometry);
    area_.Offset = volumeOffset;
    area_.Length = volume->Size();
    area_.ClusterBytes = geometry->BytesPerCluster;
    area_.ClusterIsFree = [bitmap = bitmap_.get()](uint64_t cluster) { return bitmap->Free(cluster); };
  } else {
    area_.ClusterBytes = SectorBytes;
  }
  carver_ = std::make_unique<carving::Carver>(area_, [this](carving::CarvedFile&& file) {
    carved_.push_back(std::move(file));
  });
}

CarvingPass::~CarvingPass() = default;

uint64_t CarvingPass::ListFiles(const ClaimedSourceBytes& claimed, ScanObserver& observer) {
  dropped_ = carver_->Dropped();
  std::vector<carving::CarvedFile> files =
      carving::RemoveClaimed(std::move(carved_), claimed.InClusters(area_.Offset, area_.Length, area_.ClusterBytes),
                             area_.Offset, area_.ClusterBytes, dropped_);
  carved_.clear();
  for (const carving::CarvedFile& file : files) observer.FileFound(CarvedFoundFile(file, area_.ClusterBytes));
  return files.size();
}

FoundFile CarvedFoundFile(const carving::CarvedFile& carved, uint32_t clusterBytes) {
  FoundFile file;
  file.Data.FileName = AsciiText(carved.Name);
  file.Data.Extension = ExtensionOf(file.Data.FileName);
  file.Data.FileSize = static_cast<int64_t>(carved.Length);
  file.Data.RecordOffset = static_cast<int64_t>(carved.SourceOffset);
  file.Data.IsFileEntry = 1;
  file.Data.Origin = FileOrigin::Carved;
  file.Category = CategoryOfExtension(UpperAscii(file.Data.Extension));
  file.Clusters = (carved.Length + clusterBytes - 1) / clusterBytes;
  if (const std::optional<CivilDateTime>& taken = carved.ContentTime) {
    // The camera's clock: local time of no known zone, shown as it stands.
    file.Data.ModifyTime = EncodeDateTime(*taken);
    const int64_t seconds = DaysFromCivil(taken->Year, static_cast<unsigned>(taken->Month),
                                          static_cast<unsigned>(taken->Day)) * SecondsPerDay +
                            taken->Hour * 3600 + taken->Minute * 60 + taken->Second;
    file.ModifyFileTime = UnixSecondsToFileTime(seconds);
  }
  return file;
}

}  // namespace salvoran
