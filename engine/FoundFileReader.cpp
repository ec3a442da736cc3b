#include "engine/FoundFileReader.h"

#include "engine/AttributeValues.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"

namespace salvoran {
namespace {

uint64_t VolumeSize(const VolumeGeometry& geometry) {
  return geometry.DrivePath.Partition ? geometry.DrivePath.Partition->Size : 0;
}

bool NothingLost(const FileAttributes& attributes) {
  if (attributes.ListLoss != AttributeLoss::None) return false;
  for (const DataStream& stream : attributes.Streams()) {
    if (stream.Loss != AttributeLoss::None) return false;
  }
  return true;
}

}  // namespace

FoundFileReader::FoundFileReader(VolumeSource& source, std::shared_ptr<const VolumeGeometry> geometry)
    : geometry_(std::move(geometry)),
      cached_(source),
      volume_(cached_, VolumeOffsetInSource(*geometry_),
              VolumeSize(*geometry_) != 0 ? VolumeSize(*geometry_) : source.Size()),
      fetcher_(volume_, *geometry_),
      folders_(fetcher_),
      bitmap_(volume_, *geometry_, fetcher_) {}

std::optional<FoundFileReader::Described> FoundFileReader::Read(const FoundRecord& record) {
  const uint64_t volumeOffset = VolumeOffsetInSource(*geometry_);
  if (record.SourceOffset < volumeOffset) return std::nullopt;
  const uint64_t recordOffset = record.SourceOffset - volumeOffset;
  record_.assign(record.RecordSize(), std::byte{0});
  if (volume_.ReadAt(recordOffset, record_).BytesRead != record_.size()) return std::nullopt;
  try {
    ApplyFixups(record_);
  } catch (const EngineError&) {
    return std::nullopt;
  }
  const bool wasInUse = (RecordFlags(record_) & RecordInUse) != 0;
  Described described;
  FoundFile& file = described.File;
  if (!DescribeFileRecord(record_, static_cast<int32_t>(record.Number), wasInUse ? FileState::Live : FileState::Deleted,
                          fetcher_, attributes_, localTime_, file)) {
    return std::nullopt;
  }
  file.Data.RecordOffset = static_cast<int64_t>(recordOffset);
  file.Data.Origin = FileOrigin::Found;
  file.FoundIn = geometry_;
  StreamClusterUse use = CountClusterUse(*attributes_.Stream(u""), *geometry_, bitmap_);
  file.Clusters = use.Clusters;
  // Against its own bitmap, a file in use then held its clusters itself.
  const bool heldItself = wasInUse && geometry_->OwnClusterBitmap;
  file.OverwrittenClusters = heldItself ? 0 : use.InUse;
  file.UnknownClusters = heldItself ? 0 : use.Unknown;
  file.Runs = std::move(use.Runs);
  file.Folder = folders_.FolderOf(ReadParentReference(attributes_.FileName));
  described.Complete = file.Folder.starts_with('/') && NothingLost(attributes_);
  return described;
}

}  // namespace salvoran
