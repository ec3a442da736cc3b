#include "engine/FoundFileProbe.h"

#include <algorithm>
#include <functional>

#include "engine/AttributeValues.h"
#include "engine/ClusterBitmap.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/FoundFileReader.h"
#include "engine/OriginalFolders.h"
#include "engine/VolumeRecordFetcher.h"
#include "engine/VolumeWindow.h"

namespace salvoran {
namespace {

// ClaimedRecordSize reads no further than this.
constexpr size_t HeaderBytes = 0x20;

struct ReadRecord {
  FoundRecord Found;
  std::vector<std::byte> Bytes;  // fixups applied
};

std::optional<ReadRecord> ReadFoundRecord(VolumeSource& source, uint64_t offset) {
  std::vector<std::byte> head(HeaderBytes);
  if (source.ReadAt(offset, head).BytesRead != head.size()) return std::nullopt;
  const std::optional<uint32_t> size = ClaimedRecordSize(head);
  if (!size) return std::nullopt;
  ReadRecord record;
  record.Bytes.resize(*size);
  if (source.ReadAt(offset, record.Bytes).BytesRead != record.Bytes.size()) return std::nullopt;
  const std::optional<FoundRecord> found = CheckFoundRecord(record.Bytes, offset);
  if (!found) return std::nullopt;
  record.Found = *found;
  return record;
}

using PlaceGuess = std::function<std::optional<uint64_t>(uint64_t index)>;

// Hands out the records asked for from the places guessed for them, when the record there carries
// the number asked for, and keeps those that no MFT in use describes: the found records the file
// needs. Notes every number it could not hand out.
class GuessingFetcher : public RecordFetcher {
 public:
  GuessingFetcher(VolumeSource& source, PlaceGuess guess, const MftsInUse& inUse, RecordFetcher* contentReader)
      : source_(source), guess_(std::move(guess)), inUse_(inUse), contentReader_(contentReader) {}

  bool FetchRecord(uint64_t index, std::vector<std::byte>& record) override {
    const std::optional<uint64_t> place = guess_(index);
    std::optional<ReadRecord> read = place ? ReadFoundRecord(source_, *place) : std::nullopt;
    if (!read || read->Found.Number != index) {
      Missed.push_back(index);
      return false;
    }
    if (!inUse_.Describes(*place, read->Bytes)) Kept.push_back(read->Found);
    record = std::move(read->Bytes);
    return true;
  }

  ContentRead ReadNonResident(ByteView attribute, uint64_t maxBytes, std::vector<std::byte>& content) override {
    return contentReader_ ? contentReader_->ReadNonResident(attribute, maxBytes, content) : ContentRead::Unreadable;
  }

  std::vector<FoundRecord> Kept;
  std::vector<uint64_t> Missed;

 private:
  VolumeSource& source_;
  PlaceGuess guess_;
  const MftsInUse& inUse_;
  RecordFetcher* contentReader_;
};

// The volume at offset, by the boot sector there.
std::optional<FoundVolume> VolumeAt(VolumeSource& source, uint64_t offset) {
  std::vector<std::byte> sector(BootSectorSize);
  if (source.ReadAt(offset, sector).BytesRead != sector.size() || !HasNtfsSignature(sector)) return std::nullopt;
  FoundVolume volume;
  try {
    volume.Boot = ParseBootSector(sector);
  } catch (const EngineError&) {
    return std::nullopt;
  }
  volume.Offset = offset;
  volume.Size = (volume.Boot.TotalSectors + 1) * volume.Boot.BytesPerSector;
  volume.PrimaryWhole = true;
  return volume;
}

// The record 0 that the record's own number puts before it, when its runs place the record there.
std::optional<MftAnchor> AnchorBefore(VolumeSource& source, const FoundRecord& record, uint64_t volumeOffset) {
  const uint64_t before = uint64_t{record.Number} * record.RecordSize();
  if (record.SourceOffset - volumeOffset < before) return std::nullopt;
  const std::optional<ReadRecord> first = ReadFoundRecord(source, record.SourceOffset - before);
  if (!first || first->Found.Number != 0) return std::nullopt;
  std::optional<MftAnchor> anchor = AnchorOf(first->Bytes, first->Found.SourceOffset);
  if (!anchor) return std::nullopt;
  try {
    const std::optional<uint64_t> place = MftMap(anchor->Runs, anchor->ClusterSize).VolumeOffsetOf(before);
    if (place && *place == record.SourceOffset - volumeOffset) return anchor;
  } catch (const EngineError&) {
  }
  return std::nullopt;
}

}  // namespace

ProbedFile ProbeFoundFile(VolumeSource& source, const SourceSurvey& survey, uint64_t recordOffset,
                          uint64_t volumeOffset) {
  ProbedFile probed;
  const std::optional<ReadRecord> base = ReadFoundRecord(source, recordOffset);
  if (!base || recordOffset < volumeOffset || survey.InUse.Describes(recordOffset, base->Bytes)) return probed;
  const FoundRecord& record = base->Found;
  const uint32_t recordSize = record.RecordSize();

  const std::optional<MftAnchor> anchor = AnchorBefore(source, record, volumeOffset);
  std::optional<MftMap> anchorMap;
  if (anchor) anchorMap.emplace(anchor->Runs, anchor->ClusterSize);
  const uint64_t stretchStart = record.SourceOffset - std::min<uint64_t>(uint64_t{record.Number} * recordSize,
                                                                         record.SourceOffset - volumeOffset);
  const PlaceGuess guess = [&](uint64_t index) -> std::optional<uint64_t> {
    if (anchorMap) {
      const std::optional<uint64_t> place = anchorMap->VolumeOffsetOf(index * recordSize);
      return place ? std::optional<uint64_t>(volumeOffset + *place) : std::nullopt;
    }
    if (index > (UINT64_MAX - stretchStart) / recordSize) return std::nullopt;
    return stretchStart + index * recordSize;
  };

  FoundRecordContext context = survey.Context;
  if (const std::optional<FoundVolume> volume = VolumeAt(source, volumeOffset)) context.Volumes.push_back(*volume);

  // A list kept in clusters needs them to be read; the volume's cluster size as best it is known.
  VolumeGeometry listGeometry;
  listGeometry.BytesPerCluster = anchor ? anchor->ClusterSize : ClusterSizeToldBy(base->Bytes);
  if (listGeometry.BytesPerCluster == 0 && !context.Volumes.empty()) {
    listGeometry.BytesPerCluster = context.Volumes.front().Boot.BytesPerCluster;
  }
  VolumeWindow volume(source, volumeOffset, source.Size() > volumeOffset ? source.Size() - volumeOffset : 0);
  if (listGeometry.BytesPerCluster != 0) listGeometry.TotalClusters = volume.Size() / listGeometry.BytesPerCluster;
  VolumeRecordFetcher listReader(volume, listGeometry);

  // What describing the file asks for: its extension records and its folders up to the root.
  GuessingFetcher fetcher(source, guess, survey.InUse, listGeometry.BytesPerCluster != 0 ? &listReader : nullptr);
  FileAttributes attributes;
  LocalTimeConverter localTime;
  FoundFile file;
  const FileState state = (record.Flags & RecordInUse) != 0 ? FileState::Live : FileState::Deleted;
  if (!DescribeFileRecord(base->Bytes, static_cast<int32_t>(record.Number), state, fetcher, attributes, localTime,
                          file)) {
    return probed;
  }
  OriginalFolders(fetcher).FolderOf(ReadParentReference(attributes.FileName));
  // The cluster bitmap may well be the MFT in use's, or gone: either way it is no missing part.
  std::vector<std::byte> bitmap;
  const size_t missedBefore = fetcher.Missed.size();
  fetcher.FetchRecord(BitmapRecord, bitmap);
  fetcher.Missed.resize(missedBefore);
  if (!fetcher.Missed.empty()) {
    probed.NeedsWholeSource = true;
    return probed;
  }

  std::vector<FoundRecord> records = std::move(fetcher.Kept);
  records.push_back(record);
  std::sort(records.begin(), records.end(),
            [](const FoundRecord& a, const FoundRecord& b) { return a.SourceOffset < b.SourceOffset; });
  records.erase(std::unique(records.begin(), records.end(),
                            [](const FoundRecord& a, const FoundRecord& b) { return a.SourceOffset == b.SourceOffset; }),
                records.end());
  std::vector<MftAnchor> anchors;
  if (anchor) anchors.push_back(*anchor);
  for (const FoundMft& mft : RebuildFoundMfts(records, anchors, context)) {
    for (size_t index : mft.Files) {
      if (records[index].SourceOffset != recordOffset) continue;
      if (mft.VolumeOffset != volumeOffset) break;
      FoundFileReader reader(source, mft.Geometry);
      if (std::optional<FoundFileReader::Described> described = reader.Read(records[index])) {
        probed.File = std::move(described->File);
      }
      return probed;
    }
  }
  probed.NeedsWholeSource = true;
  return probed;
}

}  // namespace salvoran
