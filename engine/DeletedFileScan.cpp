#include "engine/DeletedFileScan.h"

#include <algorithm>

#include "engine/AttributeValues.h"
#include "engine/ClusterBitmap.h"
#include "engine/FileAttributes.h"
#include "engine/FileNameText.h"
#include "engine/FileRecord.h"
#include "engine/FileTime.h"
#include "engine/ListedRecords.h"
#include "engine/MftBlockReader.h"
#include "engine/OpeningPhase.h"
#include "engine/OriginalFolders.h"
#include "engine/VolumeRecordFetcher.h"

namespace salvoran {
namespace {

constexpr uint64_t PreferredBlockBytes = 1u << 20;

// Blocks hold a whole number of progress intervals and start on one, so that a stop seen at a
// progress point comes before the next block is read.
int32_t RecordsPerBlock(uint32_t recordSize) {
  const uint64_t intervals = std::max<uint64_t>(1, PreferredBlockBytes / (uint64_t{recordSize} * ProgressInterval));
  return static_cast<int32_t>(intervals * ProgressInterval);
}

// Records come from the block being scanned when it holds them, fixed up in place once; others
// from outside, read on their own.
class ScanRecordFetcher : public RecordFetcher {
 public:
  ScanRecordFetcher(MftBlockReader& reader, RecordFetcher& outside) : reader_(reader), outside_(outside) {}

  bool FetchRecord(uint64_t index, std::vector<std::byte>& record) override {
    if (!reader_.Holds(static_cast<int64_t>(std::min<uint64_t>(index, INT64_MAX)))) {
      return outside_.FetchRecord(index, record);
    }
    const ByteView fixed = reader_.FixedRecord(static_cast<int32_t>(index));
    record.assign(fixed.begin(), fixed.end());
    return !fixed.empty();
  }
  ContentRead ReadNonResident(ByteView attribute, uint64_t maxBytes, std::vector<std::byte>& content) override {
    return outside_.ReadNonResident(attribute, maxBytes, content);
  }

 private:
  MftBlockReader& reader_;
  RecordFetcher& outside_;
};

}  // namespace

bool DescribeFileRecord(ByteView record, int32_t index, FileState state, RecordFetcher& fetcher,
                        FileAttributes& attributes, LocalTimeConverter& localTime, FoundFile& file) {
  // An extension record is part of the file its base record describes.
  if (BaseRecordIndex(record) != 0) return false;
  GatherFileAttributes(record, static_cast<uint64_t>(index), fetcher, attributes, state);
  const DataStream* content = attributes.Stream(u"");
  if (attributes.StandardInformation.empty() || attributes.FileName.empty() || !content) return false;

  const StandardTimes times = ReadStandardTimes(attributes.StandardInformation);
  file.CreateFileTime = times.Created;
  file.ModifyFileTime = times.Modified;
  file.MftModifyFileTime = times.MftModified;
  file.AccessFileTime = times.Accessed;
  TDeletedFileData& fileData = file.Data;
  fileData.FileName = ReadFileName(attributes.FileName);
  fileData.Extension = ExtensionOf(fileData.FileName);
  fileData.CreateTime = localTime.ToLocalDateTime(times.Created);
  fileData.ModifyTime = localTime.ToLocalDateTime(times.Modified);
  fileData.FileSize = static_cast<int64_t>(content->Size());
  fileData.IsFileEntry = 1;
  file.Category = CategoryOfExtension(UpperAscii(fileData.Extension));
  file.RecordIndex = index;
  file.Encrypted = attributes.Encrypted();
  for (const DataStream& stream : attributes.Streams()) {
    if (!stream.Name.empty()) file.Streams.push_back({stream.Name, stream.Size()});
  }
  return true;
}

namespace {

// Tells whether a record of the block is a deleted file, and where it was and how much of it is
// left. In-use records, most of a live volume, are passed over on their flags alone, before any
// fixup; one FileAttributes serves every record.
class BlockRecordTest {
 public:
  BlockRecordTest(VolumeSource& volume, const VolumeGeometry& geometry, MftBlockReader& reader)
      : geometry_(geometry),
        reader_(reader),
        volumeRecords_(volume, geometry),
        listedRecords_(volumeRecords_, static_cast<uint64_t>(std::max(geometry.RecordCount, 0))),
        fetcher_(reader, volumeRecords_),
        listFetcher_(reader, listedRecords_),
        folders_(fetcher_),
        bitmap_(volume, geometry, fetcher_) {}

  bool Describe(int32_t index, FoundFile& file) {
    const ByteView raw = reader_.Record(index);
    if (raw.empty() || RecordFlags(raw) != 0) return false;
    const ByteView record = reader_.FixedRecord(index);
    if (record.empty() ||
        !DescribeFileRecord(record, index, FileState::Deleted, listFetcher_, attributes_, localTime_, file)) {
      return false;
    }
    const uint64_t mftByte = static_cast<uint64_t>(index) * geometry_.FileRecordSize;
    file.Data.RecordOffset = static_cast<int64_t>(*geometry_.Mft.VolumeOffsetOf(mftByte));
    ClusterUse use = CountClusterUse(*attributes_.Stream(u""), geometry_, bitmap_);
    file.Clusters = use.Clusters;
    file.OverwrittenClusters = use.InUse;
    file.UnknownClusters = use.Unknown;
    file.Runs = std::move(use.Runs);
    file.Folder = folders_.FolderOf(ReadParentReference(attributes_.FileName));
    return true;
  }

 private:
  const VolumeGeometry& geometry_;
  MftBlockReader& reader_;
  VolumeRecordFetcher volumeRecords_;
  ListedRecords listedRecords_;  // what attribute lists name, cached and bounded for the scan
  ScanRecordFetcher fetcher_;
  ScanRecordFetcher listFetcher_;
  FileAttributes attributes_;
  LocalTimeConverter localTime_;
  OriginalFolders folders_;
  ClusterBitmap bitmap_;
};

// The index after the last record that has a byte inside the source.
int32_t ReadableRecordEnd(const VolumeSource& volume, const VolumeGeometry& geometry) {
  if (volume.Size() == 0) return geometry.RecordCount;
  const uint64_t mftBytes = geometry.Mft.BytesBelow(volume.Size());
  const uint64_t records = (mftBytes + geometry.FileRecordSize - 1) / geometry.FileRecordSize;
  return static_cast<int32_t>(std::min<uint64_t>(records, static_cast<uint64_t>(geometry.RecordCount)));
}

}  // namespace

ScanSummary ScanOpenVolume(VolumeSource& volume, VolumeGeometry& geometry, ScanObserver& observer) {
  ReadVolumeGeometry(volume, geometry);
  observer.ScanStarted(geometry);

  ScanSummary summary;
  // Records wholly past the end of the source (a cut image, or a boot sector that claims a far
  // larger volume) cannot be read: they count as unreadable without a read or a pass each, so
  // a claimed size costs no time. A source of unknown size (0) is read to the MFT's end.
  const int32_t scanEnd = ReadableRecordEnd(volume, geometry);
  const int32_t recordsPerBlock = RecordsPerBlock(geometry.FileRecordSize);
  // No block holds more records than the MFT has, so a small MFT costs little memory. The
  // block is read by a thread of its own while its first records are decoded here.
  SerializedVolume shared(volume);
  MftBlockReader reader(shared, geometry, std::min(recordsPerBlock, geometry.RecordCount),
                        MftBlockReader::Filling::InBackground);
  BlockRecordTest test(shared, geometry, reader);
  int32_t blockEnd = FirstUserRecord;
  for (int32_t index = FirstUserRecord; index < scanEnd; ++index) {
    if (index % ProgressInterval == 0) observer.Progress(index);
    if (observer.StopRequested()) {
      summary.Stopped = true;
      break;
    }
    if (index == blockEnd) {
      // In 64 bits: the next block boundary after the last records can pass INT32_MAX.
      const int64_t nextBoundary = (int64_t{index} / recordsPerBlock + 1) * recordsPerBlock;
      blockEnd = static_cast<int32_t>(std::min<int64_t>(scanEnd, nextBoundary));
      summary.UnreadableRecords += reader.UnreadableInBlock();
      reader.Read(index, blockEnd - index);
    }
    ++summary.RecordsScanned;
    FoundFile file;
    if (test.Describe(index, file)) observer.FileFound(std::move(file));
  }
  // A block is read whole once asked for, even when the scan stops inside it.
  summary.UnreadableRecords += reader.UnreadableInBlock();
  const int32_t pastTheEnd = geometry.RecordCount - std::max(scanEnd, FirstUserRecord);
  if (!summary.Stopped && pastTheEnd > 0) {
    summary.RecordsScanned += pastTheEnd;
    summary.UnreadableRecords += pastTheEnd;
  }
  return summary;
}

struct DeletedFileReader::Parts {
  Parts(VolumeSource& volume, const VolumeGeometry& geometry)
      : Reader(volume, geometry, 1), Test(volume, geometry, Reader) {}
  MftBlockReader Reader;
  BlockRecordTest Test;
};

DeletedFileReader::DeletedFileReader(VolumeSource& volume, const VolumeGeometry& geometry)
    : parts_(std::make_unique<Parts>(volume, geometry)), geometry_(geometry) {}

DeletedFileReader::~DeletedFileReader() = default;

std::optional<FoundFile> DeletedFileReader::Read(int64_t index) {
  if (index < FirstUserRecord || index >= geometry_.RecordCount) return std::nullopt;
  const auto record = static_cast<int32_t>(index);
  parts_->Reader.Read(record, 1);
  FoundFile file;
  if (!parts_->Test.Describe(record, file)) return std::nullopt;
  return file;
}

ScanSummary ScanDrive(const VolumeLocation& location, VolumeGeometry& geometry, ScanObserver& observer) {
  geometry.DrivePath = location;
  const std::unique_ptr<VolumeSource> volume = OpenVolumeToScan(location);
  return ScanOpenVolume(*volume, geometry, observer);
}

}  // namespace salvoran
