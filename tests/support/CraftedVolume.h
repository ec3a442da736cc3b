#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/ByteView.h"
#include "engine/DeletedFileScan.h"
#include "engine/FileAttributes.h"
#include "engine/RunList.h"
#include "engine/VolumeSource.h"

// Byte-level NTFS structures for what no driver writes: torn records, odd namespaces, hostile
// run lists. Everything here is built in memory.
namespace salvoran::test {

using Bytes = std::vector<std::byte>;

inline constexpr uint8_t PosixNamespace = 0;
inline constexpr uint8_t Win32Namespace = 1;
inline constexpr uint8_t DosNamespace = 2;
inline constexpr uint8_t Win32AndDosNamespace = 3;

// Any fixed file times will do; these are 2021-06-15 and 2022-01-11, 12:00 UTC.
inline constexpr uint64_t SampleCreated = 132'682'320'000'000'000;
inline constexpr uint64_t SampleModified = 132'863'760'000'000'000;

Bytes ToBytes(std::string_view text);
void PutLE(Bytes& bytes, size_t offset, uint64_t value, size_t width);
// Bytes whose value tells where they came from, so a misplaced copy is caught.
Bytes Pattern(size_t size, uint8_t seed);

// One attribute as NTFS writes it: resident content at 0x18, or a non-resident header.
Bytes StandardInformationAttribute(uint64_t created, uint64_t modified);
Bytes FileNameAttribute(std::u16string_view name, uint8_t nameSpace);
Bytes ResidentDataAttribute(const Bytes& content);
// A named stream's resident $DATA: the name at 0x18, the content after it.
Bytes NamedDataAttribute(std::u16string_view name, const Bytes& content);
// Without lastVcn the VCN range is that of the runs (one cluster when they do not decode).
Bytes NonResidentDataAttribute(const Bytes& runList, uint64_t dataSize, std::optional<uint64_t> lastVcn = std::nullopt,
                               uint16_t flags = 0);

// The attribute with its instance id, which attribute-list entries name it by.
Bytes WithId(Bytes attribute, uint16_t id);
// A piece of a non-resident attribute that continues an earlier one from firstVcn on.
Bytes LaterPiece(Bytes attribute, uint64_t firstVcn, uint64_t lastVcn);

// A resident $ATTRIBUTE_LIST naming, for each attribute, the record that holds it.
struct ListEntry {
  uint32_t Type = 0;
  uint64_t Record = 0;
  uint16_t AttributeId = 0;
  uint64_t FirstVcn = 0;
};
Bytes AttributeListAttribute(const std::vector<ListEntry>& entries);
// The list's content: entries of 0x20 bytes.
Bytes AttributeListContent(const std::vector<ListEntry>& entries);
// A non-resident $ATTRIBUTE_LIST whose content lies from cluster on.
Bytes NonResidentListAttribute(uint64_t contentBytes, uint64_t cluster, uint32_t bytesPerCluster);

// Encodes runs with the smallest fields; offsets relative to the previous run with clusters.
Bytes EncodeRunList(const std::vector<DataRun>& runs);

// A file record of recordSize bytes holding the attributes in order, protected by an update
// sequence as a driver writes it (the last two bytes of every 512-byte stride replaced).
struct RecordSpec {
  uint16_t Flags = 0;
  std::vector<Bytes> Attributes;
  uint32_t RecordSize = 1024;
  uint16_t SequenceNumber = 1;
  uint64_t BaseRecord = 0;  // the base record's file reference, for an extension record
};
Bytes BuildRecord(const RecordSpec& spec);

// Stamps the update sequence over a record whose strides hold their own last bytes, as a driver
// does before writing it: the array's place and size come from the record's header, the
// sequence number from the array's first entry.
void ProtectRecord(Bytes& record);

// Changes the protected record at offset of a volume image: undoes the protection, hands the
// plain record to change, and protects it again, so a patched real record still reads whole.
void PatchRecord(Bytes& volume, uint64_t offset, uint32_t recordSize,
                 const std::function<void(Bytes& record)>& change);

// Where MFT record index lies in a volume image whose MFT's first run holds it (read from the
// image's boot sector).
uint64_t RecordOffsetInImage(const Bytes& volume, uint64_t index);
// Where a record's first attribute of that type starts; throws when it has none.
size_t AttributeOffset(const Bytes& record, uint32_t type);

// The record a deleted file leaves behind: flags 0, times, a Win32 name and the given $DATA.
RecordSpec DeletedFileSpec(std::u16string_view name, Bytes dataAttribute);
Bytes DeletedFileRecord(std::u16string_view name, Bytes dataAttribute, uint32_t recordSize = 1024);

// A small NTFS volume: boot sector, and an MFT in the given runs whose records are given by
// index (missing ones are left zero, so they fail the signature test like unused space).
struct VolumeSpec {
  uint16_t BytesPerSector = 512;
  uint32_t BytesPerCluster = 4096;
  uint32_t RecordSize = 1024;
  uint64_t TotalClusters = 4096;
  std::vector<DataRun> MftRuns{{64, 4, false}};  // the MFT's runs: here 64 clusters from cluster 4
  std::map<int32_t, Bytes> Records;              // record 0 is made from MftRuns when absent
  std::map<uint64_t, Bytes> Clusters;            // content placed at a cluster number
};
Bytes BuildVolume(const VolumeSpec& spec);

// Free records from FirstUserRecord on, listCount of them, each carrying a non-resident attribute
// list over the same clusters that names listedRecords records from firstListed on, one $DATA
// piece each (those records are left empty: they cannot be read); and a deleted good.txt after
// them. Many free records naming the same records, as a crafted volume can have.
VolumeSpec SharedAttributeLists(int32_t listCount, uint64_t listedRecords, int32_t firstListed);

// An MFT of 1 KiB records in `pieces` one-cluster runs, each its own piece of $MFT's $DATA named
// by record 0's non-resident attribute list: piece k > 0 lies in an extension record in the
// cluster piece k - 1 maps, so only the pieces before it tell where it is. A deleted good.txt at
// record 16.
VolumeSpec MftInListedPieces(uint32_t pieces, uint32_t bytesPerCluster);

// A deleted runs.bin (record 16) whose attribute list names extensionRecords records (17 on),
// each holding a piece of its $DATA filled with one-cluster runs, clusters and holes in turn: far
// more runs than any real file has. Its data size is 64 KiB.
VolumeSpec FileOfManyRuns(uint32_t extensionRecords);
inline constexpr uint64_t ManyRunsDataBytes = 64 << 10;

// The boot sector BuildVolume writes for a geometry.
Bytes NtfsBootSector(const VolumeSpec& spec);
// The record 0 BuildVolume writes when the spec gives none: $STANDARD_INFORMATION, $FILE_NAME
// and a non-resident $DATA (the third attribute) naming MftRuns.
RecordSpec MftRecordSpec(const VolumeSpec& spec, uint16_t dataFlags = 0);

// The record-size code and cluster code the boot sector carries for a geometry.
uint8_t ClusterCode(uint32_t sectorsPerCluster);

// A volume of any size whose bytes are zero except the pieces placed in it, so that a test can
// put the MFT or a file beyond 4 GiB without holding the volume in memory.
class SparseVolume : public VolumeSource {
 public:
  explicit SparseVolume(uint64_t size) : size_(size) {}
  // A later piece wins where two overlap.
  void Place(uint64_t offset, ByteView bytes);
  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  uint64_t Size() const override { return size_; }

 private:
  uint64_t size_;
  std::vector<std::pair<uint64_t, Bytes>> pieces_;
};
SparseVolume BuildSparseVolume(const VolumeSpec& spec);

// Passes reads on to another volume, noting each one, and fails those that touch a bad stretch
// the way a disk with unreadable sectors does: the bytes before the stretch arrive, then EIO.
class WatchedVolume : public VolumeSource {
 public:
  struct Read {
    uint64_t Offset;
    uint64_t Length;
  };

  explicit WatchedVolume(VolumeSource& inner) : inner_(inner) {}
  void FailStretch(uint64_t offset, uint64_t length) { badStretches_.push_back({offset, length}); }
  // True when some read asked for a byte of [offset, offset + length).
  bool Touched(uint64_t offset, uint64_t length) const;
  // True when some WillRead named a byte of [offset, offset + length).
  bool Announced(uint64_t offset, uint64_t length) const;
  const std::vector<Read>& Reads() const { return reads_; }

  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override;
  uint64_t Size() const override { return inner_.Size(); }
  void WillRead(uint64_t offset, uint64_t length) override;

 private:
  VolumeSource& inner_;
  std::vector<Read> reads_;
  std::vector<Read> announcements_;
  std::mutex announcementsMutex_;  // announced from the reading thread
  std::vector<Read> badStretches_;
};

// Records by MFT index, handed out with their fixups applied; Reads counts the fetches of each.
class MemoryRecords : public RecordFetcher {
 public:
  bool FetchRecord(uint64_t index, std::vector<std::byte>& record) override;
  ContentRead ReadNonResident(ByteView, uint64_t, std::vector<std::byte>&) override { return ContentRead::Unreadable; }

  std::map<uint64_t, Bytes> Records;
  std::map<uint64_t, int> Reads;
};

// Keeps what a scan reports. The hooks let a test act at a chosen point, as a user pressing
// Stop would; StopFlag is what StopRequested answers.
class CollectingObserver : public ScanObserver {
 public:
  void ScanStarted(const VolumeGeometry& geometry) override;
  void Progress(int32_t recordIndex) override;
  bool StopRequested() override;
  void FileFound(FoundFile&& file) override;

  // The file listed under this name, or null.
  const FoundFile* Find(std::u16string_view name) const;
  bool Listed(int32_t recordIndex) const;

  std::vector<FoundFile> Files;
  std::vector<int32_t> ProgressIndexes;
  int32_t StartedRecordCount = -1;
  int StopQueries = 0;
  bool StopFlag = false;
  std::function<void(int32_t recordIndex)> OnProgress;
  std::function<void(const FoundFile& file)> OnFileFound;
};

// The text of the EngineError the action throws, or "(no error)"; other exceptions pass through.
std::string EngineErrorText(const std::function<void()>& action);

// Sets TZ for the life of the object (the scan shows local times) and puts the old value back.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const char* zone);
  ~ScopedTimeZone();
  ScopedTimeZone(const ScopedTimeZone&) = delete;
  ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

 private:
  bool hadZone_ = false;
  std::string previous_;
};

// Writes bytes to a file, replacing it.
void WriteImage(const std::filesystem::path& path, const Bytes& bytes);
Bytes ReadWholeFile(const std::filesystem::path& path);

}  // namespace salvoran::test
