#include "tests/support/CraftedVolume.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "engine/Attribute.h"
#include "engine/BootSector.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/RunList.h"

namespace salvoran::test {
namespace {

constexpr size_t ResidentHeaderSize = 0x18;
constexpr size_t NonResidentHeaderSize = 0x40;
constexpr size_t UpdateSequenceOffset = 0x30;
constexpr size_t BootSectorBytes = 512;

Bytes AttributeHeader(uint32_t type, size_t length, bool nonResident) {
  Bytes attribute((length + 7) & ~size_t{7});
  PutLE(attribute, 0x00, type, 4);
  PutLE(attribute, 0x04, attribute.size(), 4);
  PutLE(attribute, 0x08, nonResident ? 1 : 0, 1);
  return attribute;
}

Bytes ResidentAttribute(uint32_t type, const Bytes& content) {
  Bytes attribute = AttributeHeader(type, ResidentHeaderSize + content.size(), false);
  PutLE(attribute, 0x10, content.size(), 4);
  PutLE(attribute, 0x14, ResidentHeaderSize, 2);
  std::copy(content.begin(), content.end(), attribute.begin() + ResidentHeaderSize);
  return attribute;
}

size_t BytesNeeded(uint64_t value, bool isSigned) {
  size_t width = 1;
  while (width < 8) {
    const uint64_t limit = uint64_t{1} << (8 * width - (isSigned ? 1 : 0));
    const int64_t asSigned = static_cast<int64_t>(value);
    if (isSigned ? (asSigned >= -static_cast<int64_t>(limit) && asSigned < static_cast<int64_t>(limit)) : value < limit) break;
    ++width;
  }
  return width;
}

uint64_t MftClusters(const VolumeSpec& spec) {
  uint64_t clusters = 0;
  for (const DataRun& run : spec.MftRuns) clusters += run.ClusterCount;
  return clusters;
}

// Calls piece(volumeOffset, length, done) for each stretch of the MFT bytes [mftByte, mftByte +
// length) as they lie in the MFT's runs; done counts the bytes before the stretch.
template <typename Piece>
void LayOutMftBytes(const VolumeSpec& spec, uint64_t mftByte, uint64_t length, Piece&& piece) {
  if (mftByte + length > MftClusters(spec) * spec.BytesPerCluster) throw std::out_of_range("record past the MFT's end");
  uint64_t runMftByte = 0;
  size_t done = 0;
  for (const DataRun& run : spec.MftRuns) {
    const uint64_t runBytes = run.ClusterCount * spec.BytesPerCluster;
    const uint64_t from = std::max(mftByte + done, runMftByte);
    const uint64_t to = std::min(mftByte + length, runMftByte + runBytes);
    if (from < to) {
      piece(run.StartCluster * spec.BytesPerCluster + (from - runMftByte), to - from, done);
      done += static_cast<size_t>(to - from);
    }
    runMftByte += runBytes;
  }
}

// Hands every non-zero piece of the volume to put(offset, bytes).
void LayOutVolume(const VolumeSpec& spec, const std::function<void(uint64_t, ByteView)>& put) {
  put(0, NtfsBootSector(spec));
  std::map<int32_t, Bytes> records = spec.Records;
  if (!records.count(0)) records[0] = BuildRecord(MftRecordSpec(spec));
  // Not a structured binding: clang 14 cannot capture one in the lambda below.
  for (const auto& entry : records) {
    const Bytes& record = entry.second;
    LayOutMftBytes(spec, static_cast<uint64_t>(entry.first) * spec.RecordSize, record.size(),
                   [&](uint64_t offset, uint64_t length, size_t done) {
                     put(offset, ByteView(record).subspan(done, length));
                   });
  }
  const uint64_t volumeBytes = spec.TotalClusters * spec.BytesPerCluster;
  for (const auto& [cluster, content] : spec.Clusters) {
    const uint64_t offset = cluster * spec.BytesPerCluster;
    if (offset > volumeBytes || content.size() > volumeBytes - offset) {
      throw std::out_of_range("cluster content past the volume's end");
    }
    put(offset, content);
  }
}

}  // namespace

Bytes ToBytes(std::string_view text) {
  Bytes bytes(text.size());
  std::transform(text.begin(), text.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

void PutLE(Bytes& bytes, size_t offset, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) bytes.at(offset + i) = static_cast<std::byte>(value >> (8 * i));
}

Bytes Pattern(size_t size, uint8_t seed) {
  Bytes bytes(size);
  // Changes every byte and does not repeat at any power-of-two stride below 64 KiB.
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::byte>(seed + i + i / 251);
  return bytes;
}

Bytes StandardInformationAttribute(uint64_t created, uint64_t modified) {
  Bytes content(0x48);
  PutLE(content, 0x00, created, 8);
  PutLE(content, 0x08, modified, 8);
  return ResidentAttribute(0x10, content);
}

Bytes FileNameAttribute(std::u16string_view name, uint8_t nameSpace) {
  Bytes content(0x42 + 2 * name.size());
  PutLE(content, 0x40, name.size(), 1);
  PutLE(content, 0x41, nameSpace, 1);
  for (size_t i = 0; i < name.size(); ++i) PutLE(content, 0x42 + 2 * i, name[i], 2);
  return ResidentAttribute(0x30, content);
}

Bytes ResidentDataAttribute(const Bytes& content) { return ResidentAttribute(0x80, content); }

Bytes NamedDataAttribute(std::u16string_view name, const Bytes& content) {
  const size_t contentOffset = (ResidentHeaderSize + 2 * name.size() + 7) & ~size_t{7};
  Bytes attribute = AttributeHeader(0x80, contentOffset + content.size(), false);
  PutLE(attribute, 0x09, name.size(), 1);
  PutLE(attribute, 0x0A, ResidentHeaderSize, 2);
  PutLE(attribute, 0x10, content.size(), 4);
  PutLE(attribute, 0x14, contentOffset, 2);
  for (size_t i = 0; i < name.size(); ++i) PutLE(attribute, ResidentHeaderSize + 2 * i, name[i], 2);
  std::copy(content.begin(), content.end(), attribute.begin() + static_cast<ptrdiff_t>(contentOffset));
  return attribute;
}

Bytes WithId(Bytes attribute, uint16_t id) {
  PutLE(attribute, 0x0E, id, 2);
  return attribute;
}

Bytes LaterPiece(Bytes attribute, uint64_t firstVcn, uint64_t lastVcn) {
  PutLE(attribute, 0x10, firstVcn, 8);
  PutLE(attribute, 0x18, lastVcn, 8);
  return attribute;
}

Bytes AttributeListAttribute(const std::vector<ListEntry>& entries) {
  return ResidentAttribute(0x20, AttributeListContent(entries));
}

Bytes AttributeListContent(const std::vector<ListEntry>& entries) {
  constexpr size_t EntrySize = 0x20;
  Bytes content(entries.size() * EntrySize);
  for (size_t i = 0; i < entries.size(); ++i) {
    const size_t at = i * EntrySize;
    PutLE(content, at + 0x00, entries[i].Type, 4);
    PutLE(content, at + 0x04, EntrySize, 2);
    PutLE(content, at + 0x07, 0x1A, 1);
    PutLE(content, at + 0x08, entries[i].FirstVcn, 8);
    PutLE(content, at + 0x10, entries[i].Record, 8);
    PutLE(content, at + 0x18, entries[i].AttributeId, 2);
  }
  return content;
}

Bytes NonResidentListAttribute(uint64_t contentBytes, uint64_t cluster, uint32_t bytesPerCluster) {
  const uint64_t clusters = (contentBytes + bytesPerCluster - 1) / bytesPerCluster;
  Bytes list = NonResidentDataAttribute(EncodeRunList({{clusters, cluster, false}}), contentBytes);
  PutLE(list, 0x00, 0x20, 4);
  return list;
}

Bytes NonResidentDataAttribute(const Bytes& runList, uint64_t dataSize, std::optional<uint64_t> lastVcn,
                               uint16_t flags) {
  if (!lastVcn) {
    uint64_t clusters = 0;
    try {
      for (const DataRun& run : DecodeRunList(runList, UINT64_MAX / 2)) clusters += run.ClusterCount;
    } catch (const EngineError&) {
    }
    lastVcn = clusters == 0 ? 0 : clusters - 1;
  }
  Bytes attribute = AttributeHeader(0x80, NonResidentHeaderSize + runList.size(), true);
  PutLE(attribute, 0x0C, flags, 2);
  PutLE(attribute, 0x10, 0, 8);
  PutLE(attribute, 0x18, *lastVcn, 8);
  PutLE(attribute, 0x20, NonResidentHeaderSize, 2);
  PutLE(attribute, 0x28, dataSize, 8);
  PutLE(attribute, 0x30, dataSize, 8);
  PutLE(attribute, 0x38, dataSize, 8);
  std::copy(runList.begin(), runList.end(), attribute.begin() + NonResidentHeaderSize);
  return attribute;
}

Bytes EncodeRunList(const std::vector<DataRun>& runs) {
  Bytes list;
  int64_t previous = 0;
  for (const DataRun& run : runs) {
    const size_t lengthWidth = BytesNeeded(run.ClusterCount, false);
    const int64_t delta = run.Sparse ? 0 : static_cast<int64_t>(run.StartCluster) - previous;
    const size_t offsetWidth = run.Sparse ? 0 : BytesNeeded(static_cast<uint64_t>(delta), true);
    list.push_back(static_cast<std::byte>(lengthWidth | (offsetWidth << 4)));
    for (size_t i = 0; i < lengthWidth; ++i) list.push_back(static_cast<std::byte>(run.ClusterCount >> (8 * i)));
    for (size_t i = 0; i < offsetWidth; ++i) list.push_back(static_cast<std::byte>(static_cast<uint64_t>(delta) >> (8 * i)));
    if (!run.Sparse) previous = static_cast<int64_t>(run.StartCluster);
  }
  list.push_back(std::byte{0});
  return list;
}

Bytes BuildRecord(const RecordSpec& spec) {
  Bytes record(spec.RecordSize);
  std::memcpy(record.data(), "FILE", 4);
  const size_t strides = spec.RecordSize / UpdateSequenceStride;
  const size_t firstAttribute = (UpdateSequenceOffset + 2 * (strides + 1) + 7) & ~size_t{7};
  PutLE(record, 0x04, UpdateSequenceOffset, 2);
  PutLE(record, 0x06, strides + 1, 2);
  PutLE(record, 0x14, firstAttribute, 2);
  PutLE(record, 0x16, spec.Flags, 2);
  PutLE(record, 0x20, spec.BaseRecord, 8);
  size_t position = firstAttribute;
  for (const Bytes& attribute : spec.Attributes) {
    if (position + attribute.size() + 8 > spec.RecordSize) throw std::length_error("attributes overflow the record");
    std::copy(attribute.begin(), attribute.end(), record.begin() + static_cast<ptrdiff_t>(position));
    position += attribute.size();
  }
  PutLE(record, position, 0xFFFFFFFF, 4);
  // Bytes in use (to the end marker and its padding) and allocated, as a driver writes them.
  PutLE(record, 0x18, position + 8, 4);
  PutLE(record, 0x1C, spec.RecordSize, 4);
  PutLE(record, UpdateSequenceOffset, spec.SequenceNumber, 2);
  ProtectRecord(record);
  return record;
}

void ProtectRecord(Bytes& record) {
  const size_t arrayOffset = ReadLE<uint16_t>(record, 0x04);
  const size_t entries = ReadLE<uint16_t>(record, 0x06);
  const uint16_t sequenceNumber = ReadLE<uint16_t>(record, arrayOffset);
  // Each stride's last two bytes go to the array; the sequence number takes their place.
  for (size_t i = 1; i < entries; ++i) {
    const size_t end = i * UpdateSequenceStride;
    record.at(arrayOffset + 2 * i) = record.at(end - 2);
    record.at(arrayOffset + 2 * i + 1) = record.at(end - 1);
    PutLE(record, end - 2, sequenceNumber, 2);
  }
}

void PatchRecord(Bytes& volume, uint64_t offset, uint32_t recordSize,
                 const std::function<void(Bytes& record)>& change) {
  if (offset > volume.size() || recordSize > volume.size() - offset) throw std::out_of_range("record past the volume");
  const auto first = volume.begin() + static_cast<ptrdiff_t>(offset);
  Bytes record(first, first + recordSize);
  ApplyFixups(record);
  change(record);
  ProtectRecord(record);
  std::copy(record.begin(), record.end(), first);
}

uint64_t RecordOffsetInImage(const Bytes& volume, uint64_t index) {
  const BootSector boot = ParseBootSector(ByteView(volume).first(BootSectorSize));
  return boot.MftCluster * boot.BytesPerCluster + index * boot.FileRecordSize;
}

size_t AttributeOffset(const Bytes& record, uint32_t type) {
  const ByteView attribute = FindAttribute(record, type, false);
  if (attribute.empty()) throw std::invalid_argument("the record has no attribute of type " + std::to_string(type));
  return static_cast<size_t>(attribute.data() - record.data());
}

RecordSpec DeletedFileSpec(std::u16string_view name, Bytes dataAttribute) {
  RecordSpec spec;
  spec.Attributes = {StandardInformationAttribute(SampleCreated, SampleModified),
                     FileNameAttribute(name, Win32Namespace), std::move(dataAttribute)};
  return spec;
}

Bytes DeletedFileRecord(std::u16string_view name, Bytes dataAttribute, uint32_t recordSize) {
  RecordSpec spec = DeletedFileSpec(name, std::move(dataAttribute));
  spec.RecordSize = recordSize;
  return BuildRecord(spec);
}

namespace {

constexpr uint64_t FirstMftCluster = 4;

uint64_t ClustersFor(uint64_t bytes, uint32_t bytesPerCluster) { return (bytes + bytesPerCluster - 1) / bytesPerCluster; }

// A file reference to record index with sequence number 1.
uint64_t ReferenceTo(uint64_t index) { return index | (uint64_t{1} << 48); }

Bytes GoodFileRecord() { return DeletedFileRecord(u"good.txt", ResidentDataAttribute(Pattern(100, 1))); }

}  // namespace

VolumeSpec SharedAttributeLists(int32_t listCount, uint64_t listedRecords, int32_t firstListed) {
  VolumeSpec spec;
  const uint64_t records = static_cast<uint64_t>(firstListed) + listedRecords;
  const uint64_t mftClusters = ClustersFor(records * spec.RecordSize, spec.BytesPerCluster);
  spec.MftRuns = {{mftClusters, FirstMftCluster, false}};
  std::vector<ListEntry> entries;
  for (uint64_t i = 0; i < listedRecords; ++i) entries.push_back({0x80, static_cast<uint64_t>(firstListed) + i, 0, i});
  const Bytes content = AttributeListContent(entries);
  const uint64_t listCluster = FirstMftCluster + mftClusters;
  spec.Clusters[listCluster] = content;
  spec.TotalClusters = listCluster + ClustersFor(content.size(), spec.BytesPerCluster) + 1;
  for (int32_t i = 0; i < listCount; ++i) {
    RecordSpec record = DeletedFileSpec(u"listed.bin", ResidentDataAttribute(Pattern(100, 3)));
    record.Attributes.insert(record.Attributes.begin() + 1,
                             NonResidentListAttribute(content.size(), listCluster, spec.BytesPerCluster));
    spec.Records[FirstUserRecord + i] = BuildRecord(record);
  }
  spec.Records[FirstUserRecord + listCount] = GoodFileRecord();
  return spec;
}

VolumeSpec MftInListedPieces(uint32_t pieces, uint32_t bytesPerCluster) {
  VolumeSpec spec;
  spec.BytesPerCluster = bytesPerCluster;
  spec.MftRuns = {{pieces, FirstMftCluster, false}};
  const uint64_t recordsPerCluster = bytesPerCluster / spec.RecordSize;
  const uint64_t mftBytes = uint64_t{pieces} * bytesPerCluster;
  const auto piece = [&](uint64_t vcn) {
    return WithId(LaterPiece(NonResidentDataAttribute(EncodeRunList({{1, FirstMftCluster + vcn, false}}), mftBytes, vcn),
                             vcn, vcn),
                  1);
  };
  std::vector<ListEntry> entries{{0x10, 0, 0, 0}, {0x30, 0, 0, 0}, {0x80, 0, 1, 0}};
  for (uint64_t vcn = 1; vcn < pieces; ++vcn) {
    // The last record of the cluster the piece before maps.
    const uint64_t index = vcn * recordsPerCluster - 1;
    entries.push_back({0x80, index, 1, vcn});
    RecordSpec extension;
    extension.Flags = RecordInUse;
    extension.BaseRecord = ReferenceTo(0);
    extension.Attributes = {piece(vcn)};
    spec.Records[static_cast<int32_t>(index)] = BuildRecord(extension);
  }
  const Bytes content = AttributeListContent(entries);
  const uint64_t listCluster = FirstMftCluster + pieces;
  spec.Clusters[listCluster] = content;
  spec.TotalClusters = listCluster + ClustersFor(content.size(), bytesPerCluster) + 1;
  RecordSpec mft;
  mft.Flags = RecordInUse;
  mft.Attributes = {StandardInformationAttribute(0, 0), FileNameAttribute(u"$MFT", Win32AndDosNamespace),
                    NonResidentListAttribute(content.size(), listCluster, bytesPerCluster), piece(0)};
  spec.Records[0] = BuildRecord(mft);
  spec.Records[FirstUserRecord] = GoodFileRecord();
  return spec;
}

VolumeSpec FileOfManyRuns(uint32_t extensionRecords) {
  constexpr int32_t BaseRecord = FirstUserRecord;
  constexpr size_t RunPairs = 170;  // as many as fill a record of 1 KiB
  const uint64_t vcnsPerPiece = 2 * RunPairs;
  const uint64_t vcns = vcnsPerPiece * extensionRecords;
  VolumeSpec spec;
  const uint64_t records = static_cast<uint64_t>(BaseRecord) + 1 + extensionRecords;
  const uint64_t mftClusters = ClustersFor(records * spec.RecordSize, spec.BytesPerCluster);
  spec.MftRuns = {{mftClusters, FirstMftCluster, false}};
  std::vector<ListEntry> entries{{0x10, BaseRecord, 0, 0}, {0x30, BaseRecord, 0, 0}};
  for (uint64_t i = 0; i < extensionRecords; ++i) entries.push_back({0x80, BaseRecord + 1 + i, 0, i * vcnsPerPiece});
  const Bytes content = AttributeListContent(entries);
  const uint64_t listCluster = FirstMftCluster + mftClusters;
  const uint64_t dataCluster = listCluster + ClustersFor(content.size(), spec.BytesPerCluster);
  spec.Clusters[listCluster] = content;
  spec.Clusters[dataCluster] = Pattern(2 * spec.BytesPerCluster, 5);
  spec.TotalClusters = dataCluster + 2;

  // One piece's run list: a cluster, then the other of two clusters (offset +1 or -1), each
  // followed by a hole of one cluster.
  Bytes runList = {std::byte{0x21}, std::byte{1}, static_cast<std::byte>(dataCluster), static_cast<std::byte>(dataCluster >> 8),
                   std::byte{0x01}, std::byte{1}};
  for (size_t pair = 1; pair < RunPairs; ++pair) {
    const std::byte offset{pair % 2 == 1 ? uint8_t{0x01} : uint8_t{0xFF}};
    runList.insert(runList.end(), {std::byte{0x11}, std::byte{1}, offset, std::byte{0x01}, std::byte{1}});
  }
  runList.push_back(std::byte{0});
  for (uint64_t i = 0; i < extensionRecords; ++i) {
    const uint64_t firstVcn = i * vcnsPerPiece;
    Bytes piece = LaterPiece(NonResidentDataAttribute(runList, ManyRunsDataBytes), firstVcn, firstVcn + vcnsPerPiece - 1);
    PutLE(piece, 0x28, vcns * spec.BytesPerCluster, 8);  // allocated: the whole VCN range
    RecordSpec extension;
    extension.BaseRecord = ReferenceTo(BaseRecord);
    extension.Attributes = {piece};
    spec.Records[static_cast<int32_t>(BaseRecord + 1 + i)] = BuildRecord(extension);
  }
  RecordSpec base;
  base.Attributes = {StandardInformationAttribute(SampleCreated, SampleModified),
                     NonResidentListAttribute(content.size(), listCluster, spec.BytesPerCluster),
                     FileNameAttribute(u"runs.bin", Win32Namespace)};
  spec.Records[BaseRecord] = BuildRecord(base);
  return spec;
}

uint8_t ClusterCode(uint32_t sectorsPerCluster) {
  if (sectorsPerCluster <= 0x80) return static_cast<uint8_t>(sectorsPerCluster);
  return static_cast<uint8_t>(256 - std::countr_zero(sectorsPerCluster));
}

Bytes NtfsBootSector(const VolumeSpec& spec) {
  Bytes sector(BootSectorBytes);
  std::memcpy(sector.data() + 3, "NTFS    ", 8);
  PutLE(sector, 0x0B, spec.BytesPerSector, 2);
  PutLE(sector, 0x0D, ClusterCode(spec.BytesPerCluster / spec.BytesPerSector), 1);
  PutLE(sector, 0x28, spec.TotalClusters * (spec.BytesPerCluster / spec.BytesPerSector), 8);
  PutLE(sector, 0x30, spec.MftRuns.front().StartCluster, 8);
  const int recordCode = spec.RecordSize >= spec.BytesPerCluster
                             ? static_cast<int>(spec.RecordSize / spec.BytesPerCluster)
                             : 256 - std::countr_zero(spec.RecordSize);
  PutLE(sector, 0x40, static_cast<uint64_t>(recordCode), 1);
  PutLE(sector, 0x1FE, 0xAA55, 2);
  return sector;
}

RecordSpec MftRecordSpec(const VolumeSpec& spec, uint16_t dataFlags) {
  const uint64_t mftClusters = MftClusters(spec);
  RecordSpec mftRecord;
  mftRecord.Flags = 1;
  mftRecord.RecordSize = spec.RecordSize;
  mftRecord.Attributes = {StandardInformationAttribute(0, 0), FileNameAttribute(u"$MFT", Win32AndDosNamespace),
                          NonResidentDataAttribute(EncodeRunList(spec.MftRuns), mftClusters * spec.BytesPerCluster,
                                                   mftClusters - 1, dataFlags)};
  return mftRecord;
}

Bytes BuildVolume(const VolumeSpec& spec) {
  Bytes volume(spec.TotalClusters * spec.BytesPerCluster);
  LayOutVolume(spec, [&](uint64_t offset, ByteView bytes) {
    if (offset > volume.size() || bytes.size() > volume.size() - offset) {
      throw std::out_of_range("piece past the volume's end");
    }
    std::copy(bytes.begin(), bytes.end(), volume.begin() + static_cast<ptrdiff_t>(offset));
  });
  return volume;
}

void SparseVolume::Place(uint64_t offset, ByteView bytes) {
  if (offset > size_ || bytes.size() > size_ - offset) throw std::out_of_range("piece past the volume's end");
  pieces_.emplace_back(offset, Bytes(bytes.begin(), bytes.end()));
}

ReadOutcome SparseVolume::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  if (offset >= size_) return {};
  const size_t count = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size_ - offset));
  // memset, not a loop: large scans read gigabytes of these zeros in unoptimised builds.
  std::memset(buffer.data(), 0, count);
  const uint64_t end = offset + count;
  for (const auto& [pieceOffset, piece] : pieces_) {
    const uint64_t from = std::max(offset, pieceOffset);
    const uint64_t to = std::min(end, pieceOffset + piece.size());
    if (from >= to) continue;
    std::copy_n(piece.begin() + static_cast<ptrdiff_t>(from - pieceOffset), to - from,
                buffer.begin() + static_cast<ptrdiff_t>(from - offset));
  }
  return {count, 0};
}

SparseVolume BuildSparseVolume(const VolumeSpec& spec) {
  SparseVolume volume(spec.TotalClusters * spec.BytesPerCluster);
  LayOutVolume(spec, [&](uint64_t offset, ByteView bytes) { volume.Place(offset, bytes); });
  return volume;
}

namespace {

bool AnyOverlaps(const std::vector<WatchedVolume::Read>& stretches, uint64_t offset, uint64_t length) {
  return std::any_of(stretches.begin(), stretches.end(), [&](const WatchedVolume::Read& stretch) {
    return stretch.Offset < offset + length && offset < stretch.Offset + stretch.Length;
  });
}

}  // namespace

bool WatchedVolume::Touched(uint64_t offset, uint64_t length) const { return AnyOverlaps(reads_, offset, length); }

bool WatchedVolume::Announced(uint64_t offset, uint64_t length) const {
  return AnyOverlaps(announcements_, offset, length);
}

void WatchedVolume::WillRead(uint64_t offset, uint64_t length) {
  const std::lock_guard lock(announcementsMutex_);
  announcements_.push_back({offset, length});
}

ReadOutcome WatchedVolume::ReadAt(uint64_t offset, std::span<std::byte> buffer) {
  reads_.push_back({offset, buffer.size()});
  // The first bad byte the read would reach, if any.
  uint64_t failAt = UINT64_MAX;
  for (const Read& bad : badStretches_) {
    if (bad.Offset < offset + buffer.size() && offset < bad.Offset + bad.Length) {
      failAt = std::min(failAt, std::max(bad.Offset, offset));
    }
  }
  if (failAt == UINT64_MAX) return inner_.ReadAt(offset, buffer);
  ReadOutcome outcome = inner_.ReadAt(offset, buffer.first(static_cast<size_t>(failAt - offset)));
  outcome.ErrorCode = EIO;
  return outcome;
}

void CollectingObserver::ScanStarted(const VolumeGeometry& geometry) { StartedRecordCount = geometry.RecordCount; }

void CollectingObserver::Progress(int32_t recordIndex) {
  ProgressIndexes.push_back(recordIndex);
  if (OnProgress) OnProgress(recordIndex);
}

bool CollectingObserver::StopRequested() {
  ++StopQueries;
  return StopFlag;
}

void CollectingObserver::FileFound(FoundFile&& file) {
  Files.push_back(std::move(file));
  if (OnFileFound) OnFileFound(Files.back());
}

const FoundFile* CollectingObserver::Find(std::u16string_view name) const {
  const auto found = std::find_if(Files.begin(), Files.end(), [&](const FoundFile& file) { return file.Data.FileName == name; });
  return found == Files.end() ? nullptr : &*found;
}

bool CollectingObserver::Listed(int32_t recordIndex) const {
  return std::any_of(Files.begin(), Files.end(), [&](const FoundFile& file) { return file.RecordIndex == recordIndex; });
}

bool MemoryRecords::FetchRecord(uint64_t index, std::vector<std::byte>& record) {
  ++Reads[index];
  const auto found = Records.find(index);
  if (found == Records.end()) return false;
  record = found->second;
  ApplyFixups(record);
  return true;
}

std::string EngineErrorText(const std::function<void()>& action) {
  try {
    action();
  } catch (const EngineError& error) {
    return error.what();
  }
  return "(no error)";
}

ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* current = std::getenv("TZ")) {
    hadZone_ = true;
    previous_ = current;
  }
  ::setenv("TZ", zone, 1);
  ::tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (hadZone_) {
    ::setenv("TZ", previous_.c_str(), 1);
  } else {
    ::unsetenv("TZ");
  }
  ::tzset();
}

void WriteImage(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

Bytes ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  // One read, not a character at a time: images of many MiB are read in unoptimised builds.
  Bytes bytes(std::filesystem::file_size(path));
  if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
    throw std::runtime_error("cannot read " + path.string());
  }
  return bytes;
}

}  // namespace salvoran::test
