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
#include "engine/ParallelRecordDecoder.h"
#include "engine/ReadAheadThread.h"
#include "engine/VolumeRecordFetcher.h"

namespace salvoran {
namespace {

constexpr uint64_t PreferredBlockBytes = 1u << 20;
// What one thread reads and decodes at a time: small enough to stay in the processor's cache
// between the read and the decoding, large enough that handing it over costs little.
constexpr uint64_t SliceBytes = 128u << 10;
// Blocks after the one released that the source is told of: from a cold disk, reads of one block
// at a time would leave it idle between them, and the threads' slices of a block come too close
// together for the kernel to see one sequential read and read ahead by itself.
constexpr int64_t BlocksAnnounced = 8;

// Blocks hold a whole number of progress intervals and start on one, so that a stop seen at a
// progress point comes before the next block is read.
int32_t RecordsPerBlock(uint32_t recordSize) {
  const uint64_t intervals = std::max<uint64_t>(1, PreferredBlockBytes / (uint64_t{recordSize} * ProgressInterval));
  return static_cast<int32_t>(intervals * ProgressInterval);
}

int32_t RecordsPerSlice(uint32_t recordSize) {
  return static_cast<int32_t>(std::max<uint64_t>(1, SliceBytes / recordSize));
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
  // listedRecords: what attribute lists name, cached and bounded for the whole scan (ListedRecords),
  // one for all the scan's threads.
  BlockRecordTest(VolumeSource& volume, const VolumeGeometry& geometry, MftBlockReader& reader,
                  RecordFetcher& listedRecords)
      : geometry_(geometry),
        reader_(reader),
        volumeRecords_(volume, geometry),
        fetcher_(reader, volumeRecords_),
        listFetcher_(reader, listedRecords),
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
    StreamClusterUse use = CountClusterUse(*attributes_.Stream(u""), geometry_, bitmap_);
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
  ScanRecordFetcher fetcher_;
  ScanRecordFetcher listFetcher_;
  FileAttributes attributes_;
  LocalTimeConverter localTime_;
  OriginalFolders folders_;
  ClusterBitmap bitmap_;
};

uint64_t MftRecordCount(const VolumeGeometry& geometry) {
  return static_cast<uint64_t>(std::max(geometry.RecordCount, 0));
}

// The index after the last record that has a byte inside the source.
int32_t ReadableRecordEnd(const VolumeSource& volume, const VolumeGeometry& geometry) {
  if (volume.Size() == 0) return geometry.RecordCount;
  const uint64_t mftBytes = geometry.Mft.BytesBelow(volume.Size());
  const uint64_t records = (mftBytes + geometry.FileRecordSize - 1) / geometry.FileRecordSize;
  return static_cast<int32_t>(std::min<uint64_t>(records, static_cast<uint64_t>(geometry.RecordCount)));
}

// A thread's reader and record test: reads a slice and keeps the files its records describe.
class RecordSliceDecoder : public SliceDecoder {
 public:
  RecordSliceDecoder(VolumeSource& volume, const VolumeGeometry& geometry, int32_t sliceRecords,
                     RecordFetcher& listedRecords)
      : reader_(volume, geometry, sliceRecords), test_(volume, geometry, reader_, listedRecords) {}

  int32_t Decode(int32_t first, int32_t count, std::vector<FoundFile>& files) override {
    reader_.Read(first, count);
    for (int32_t index = first; index < first + count; ++index) {
      FoundFile file;
      if (test_.Describe(index, file)) files.push_back(std::move(file));
    }
    return reader_.UnreadableInBlock();
  }

 private:
  MftBlockReader reader_;
  BlockRecordTest test_;
};

// Tells the source of the MFT's records [from, to), so that a disk fetches them meanwhile.
void AnnounceRecords(ReadAheadThread& readAhead, const VolumeGeometry& geometry, int64_t from, int64_t to) {
  if (to <= from) return;
  const uint64_t recordSize = geometry.FileRecordSize;
  geometry.Mft.ForEachPiece(static_cast<uint64_t>(from) * recordSize, static_cast<uint64_t>(to - from) * recordSize,
                            [&](uint64_t volumeByte, uint64_t pieceLength, uint64_t) {
                              readAhead.Announce(volumeByte, pieceLength);
                            });
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
  // Each thread reads and decodes slices of the block released, so reading and decoding run on
  // every core; no slice holds more records than the MFT has, so a small MFT costs little memory.
  // The files come back in record order, and progress and the stop flag are handled here, record
  // by record, as if the records were decoded one after the other.
  SerializedVolume shared(volume);
  VolumeRecordFetcher volumeRecords(shared, geometry);
  ListedRecords listedRecords(volumeRecords, MftRecordCount(geometry));
  const int32_t sliceRecords = std::clamp(geometry.RecordCount, 1, RecordsPerSlice(geometry.FileRecordSize));
  ParallelRecordDecoder decoder(
      [&] { return std::make_unique<RecordSliceDecoder>(shared, geometry, sliceRecords, listedRecords); },
      sliceRecords);
  ReadAheadThread readAhead(shared);
  int64_t announcedEnd = 0;
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
      summary.UnreadableRecords += decoder.TakeUnreadable();
      decoder.Release(index, blockEnd - index);
      const int64_t announceTo = std::min<int64_t>(geometry.RecordCount, blockEnd + BlocksAnnounced * recordsPerBlock);
      AnnounceRecords(readAhead, geometry, std::max<int64_t>(announcedEnd, blockEnd), announceTo);
      announcedEnd = std::max(announcedEnd, announceTo);
    }
    ++summary.RecordsScanned;
    if (FoundFile* file = decoder.FileAt(index)) observer.FileFound(std::move(*file));
  }
  // A block is read whole once released, even when the scan stops inside it.
  if (blockEnd > FirstUserRecord) summary.UnreadableRecords += decoder.TakeUnreadable();
  const int32_t pastTheEnd = geometry.RecordCount - std::max(scanEnd, FirstUserRecord);
  if (!summary.Stopped && pastTheEnd > 0) {
    summary.RecordsScanned += pastTheEnd;
    summary.UnreadableRecords += pastTheEnd;
  }
  return summary;
}

struct DeletedFileReader::Parts {
  Parts(VolumeSource& volume, const VolumeGeometry& geometry)
      : VolumeRecords(volume, geometry),
        Listed(VolumeRecords, MftRecordCount(geometry)),
        Reader(volume, geometry, 1),
        Test(volume, geometry, Reader, Listed) {}
  VolumeRecordFetcher VolumeRecords;
  ListedRecords Listed;
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
