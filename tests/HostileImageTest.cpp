// salvoran scan and recover --all on damaged and crafted volumes: each answers with its message
// and exit status, within a time limit and a memory bound, never writes to the source and
// never writes outside the output folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/Attribute.h"
#include "engine/AttributeValues.h"
#include "engine/BootSector.h"
#include "engine/ClusterBitmap.h"
#include "engine/DeletedFileScan.h"
#include "engine/OpeningPhase.h"
#include "tests/fixtures/TestImages.h"
#include "tests/support/CommandRunner.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/LongFoldersVolume.h"
#include "tests/support/TempDir.h"
#include "tests/support/UnchangedSource.h"

namespace salvoran::test {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
constexpr bool Sanitized = __has_feature(address_sanitizer);
#else
constexpr bool Sanitized = false;
#endif

constexpr int TimeLimitSeconds = 60;
// A recovery keeps at most 16 MiB of content in memory, a scan one 1 MiB block of records; the
// sanitizers' shadow memory and quarantine need far more.
constexpr long PeakRssLimitKiB = Sanitized ? 1024 * 1024 : 64 * 1024;

constexpr char NotNtfs[] = "The current version only support NTFS drive!";
constexpr char EndsEarly[] = "Fail to read data from drive:No data available";
constexpr char InvalidMft[] = "Invalid MFT record!";
constexpr char NoMftRuns[] = "The MFT's own record has no data runs; the volume cannot be scanned.";
constexpr char DamagedBoot[] = "The volume's boot sector is damaged: ";
constexpr char RunListError[] = "Failed to read run Data.";
constexpr char RecordsSkipped[] = "records could not be read and were skipped.";
constexpr char BeyondClusters[] = "its size is larger than the clusters allocated to it.";
constexpr char CompressedDamaged[] = "The file's compressed content is damaged and cannot be decompressed.";
constexpr char PartUnreadable[] = "Part of the file's record is missing or could not be read";
constexpr char ListTooLarge[] = "its attribute list is larger than NTFS allows.";
constexpr char BeyondNtfs[] = "its size is larger than any file NTFS can hold on this volume.";

// ---- images made from the generated demo volume ---------------------------------------------

const Bytes& Demo() {
  static const Bytes demo = ReadWholeFile(TestImagePath("demo"));
  return demo;
}

BootSector DemoBoot() { return ParseBootSector(ByteView(Demo()).first(BootSectorSize)); }

uint64_t DemoRecordOffset(uint64_t index) { return RecordOffsetInImage(Demo(), index); }

using ImageMaker = std::function<Bytes()>;

uint64_t DemoRecordCount() {
  MemoryVolume volume(Demo());
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);
  return static_cast<uint64_t>(geometry.RecordCount);
}

// The field changed in the boot sector and in its backup, the volume's last sector: with a whole
// backup the volume would be read through it.
ImageMaker DemoWithBootField(size_t offset, uint64_t value, size_t width) {
  return [=] {
    Bytes image = Demo();
    PutLE(image, offset, value, width);
    PutLE(image, image.size() - BootSectorSize + offset, value, width);
    return image;
  };
}

// Where $MFTMirr keeps its copy of record 0, which stands in for a record 0 that fails its check.
uint64_t DemoMirrorOffset() { return DemoBoot().MftMirrorCluster * DemoBoot().BytesPerCluster; }

ImageMaker DemoCutAt(std::function<uint64_t()> length) {
  return [=] { return Bytes(Demo().begin(), Demo().begin() + static_cast<ptrdiff_t>(length())); };
}

// Record 0 of the demo volume changed in its plain form, then protected again.
ImageMaker DemoWithMftRecord(const std::function<void(Bytes& record)>& change) {
  return [=] {
    Bytes image = Demo();
    const BootSector boot = DemoBoot();
    PatchRecord(image, DemoRecordOffset(0), boot.FileRecordSize, change);
    return image;
  };
}

size_t OffsetIn(const Bytes& record, ByteView part) { return static_cast<size_t>(part.data() - ByteView(record).data()); }

void RenameDataAttribute(Bytes& record) {
  PutLE(record, OffsetIn(record, FindAttribute(record, DataType, false)), 0x100, 4);
}

void MakeDataResident(Bytes& record) {
  PutLE(record, OffsetIn(record, FindAttribute(record, DataType, false)) + 8, 0, 1);
}

// Runs of one cluster, each one further on, to the attribute's end: no end marker anywhere.
void EndlessRunList(Bytes& record) {
  const ByteView runList = RunListBytes(FindAttribute(record, DataType, false));
  const size_t start = OffsetIn(record, runList);
  for (size_t i = 0; i < runList.size(); ++i) PutLE(record, start + i, i % 3 == 0 ? 0x11 : 0x01, 1);
}

ImageMaker DemoWithRandomRecordsFrom(uint64_t firstIndex, bool keepSignature) {
  return [=] {
    Bytes image = Demo();
    const BootSector boot = DemoBoot();
    std::mt19937 random(0x5A17);
    const uint64_t end = DemoRecordOffset(DemoRecordCount());
    for (uint64_t at = DemoRecordOffset(firstIndex); at < end; ++at) image[at] = static_cast<std::byte>(random());
    if (keepSignature) {
      for (uint64_t at = DemoRecordOffset(firstIndex); at < end; at += boot.FileRecordSize) {
        std::memcpy(image.data() + at, "FILE", 4);
      }
    }
    return image;
  };
}

// ---- crafted volumes: 4 MiB, 4 KiB clusters, an MFT of 64 records at cluster 4 --------------

constexpr uint64_t CraftedClusters = 1024;
constexpr uint32_t CraftedClusterBytes = 4096;
constexpr uint64_t TiB = uint64_t{1} << 40;

struct CraftedFile {
  std::u16string Name;
  Bytes Data;                                   // the $DATA attribute
  std::function<void(Bytes& fileName)> Change;  // applied to the $FILE_NAME attribute
};

VolumeSpec CraftedSpec(const std::vector<CraftedFile>& files) {
  VolumeSpec spec;
  spec.TotalClusters = CraftedClusters;
  spec.MftRuns = {{16, 4, false}};
  int32_t index = FirstUserRecord;
  for (const CraftedFile& file : files) {
    RecordSpec record = DeletedFileSpec(file.Name, file.Data);
    if (file.Change) file.Change(record.Attributes[1]);
    spec.Records[index++] = BuildRecord(record);
  }
  return spec;
}

ImageMaker Crafted(std::vector<CraftedFile> files) {
  return [=] { return BuildVolume(CraftedSpec(files)); };
}

Bytes ResidentData(uint8_t seed) { return ResidentDataAttribute(Pattern(100, seed)); }

CraftedFile GoodFile() { return {u"good.txt", ResidentData(1), {}}; }

CraftedFile NonResidentFile(const std::u16string& name, const std::vector<DataRun>& runs, uint64_t size) {
  return {name, NonResidentDataAttribute(EncodeRunList(runs), size), {}};
}

std::function<void(Bytes&)> AttributeLength(uint32_t length) {
  return [=](Bytes& attribute) { PutLE(attribute, 0x04, length, 4); };
}

// The boot sector and record 0 claim an MFT of almost 2^31 records; the image holds 64.
Bytes ClaimingHugeMft() {
  VolumeSpec spec = CraftedSpec({GoodFile()});
  Bytes image = BuildVolume(spec);
  VolumeSpec claim = spec;
  claim.MftRuns = {{(uint64_t{1} << 29) - 1, 4, false}};
  claim.TotalClusters = uint64_t{1} << 30;
  const Bytes boot = NtfsBootSector(claim);
  const Bytes recordZero = BuildRecord(MftRecordSpec(claim));
  std::copy(boot.begin(), boot.end(), image.begin());
  std::copy(recordZero.begin(), recordZero.end(), image.begin() + 4 * CraftedClusterBytes);
  return image;
}

// A file whose clusters lie inside the volume the boot sector claims but past the image's end.
Bytes FileBeyondTheImagesEnd() {
  Bytes image = BuildVolume(CraftedSpec({GoodFile(), NonResidentFile(u"far.bin", {{4, 900, false}}, 16384)}));
  image.resize(512 * CraftedClusterBytes);
  return image;
}

// A compressed file whose units would be 2^31 clusters each.
CraftedFile CompressedWithHugeUnits() {
  Bytes data = NonResidentDataAttribute(EncodeRunList({{1, 10, false}, {15, 0, true}}), 16 * 4096, std::nullopt,
                                        0x0001);
  PutLE(data, 0x22, 31, 1);
  return {u"packed.txt", data, {}};
}

// A file whose attribute list, listBytes long and read through its runs, names its own name and
// then pieces of its data in records far past the MFT's end, one record per entry.
Bytes FileWithLongAttributeList(uint64_t listBytes) {
  constexpr uint64_t ListCluster = 200;
  constexpr size_t EntryBytes = 0x20;
  constexpr int32_t FileRecord = FirstUserRecord + 1;
  VolumeSpec spec = CraftedSpec({GoodFile()});
  Bytes content(listBytes);
  for (uint64_t at = 0, i = 0; at + EntryBytes <= listBytes; at += EntryBytes, ++i) {
    PutLE(content, at, i == 0 ? 0x10 : i == 1 ? 0x30 : 0x80, 4);
    PutLE(content, at + 0x04, EntryBytes, 2);
    PutLE(content, at + 0x07, 0x1A, 1);
    PutLE(content, at + 0x08, i < 2 ? 0 : i - 2, 8);
    PutLE(content, at + 0x10, i < 2 ? FileRecord : 100'000 + i, 8);
  }
  spec.Clusters[ListCluster] = content;
  Bytes list = NonResidentDataAttribute(
      EncodeRunList({{(listBytes + CraftedClusterBytes - 1) / CraftedClusterBytes, ListCluster, false}}), listBytes);
  PutLE(list, 0x00, 0x20, 4);
  RecordSpec record = DeletedFileSpec(u"listed.bin", ResidentData(3));
  record.Attributes.insert(record.Attributes.begin() + 1, list);
  spec.Records[FileRecord] = BuildRecord(record);
  return BuildVolume(spec);
}

// A file whose folder's parent reference leads round in a loop: no folder on it is named.
Bytes FileInALoopOfFolders() {
  constexpr size_t ParentReference = 0x18;
  constexpr int32_t FolderA = FirstUserRecord + 1;
  constexpr int32_t FolderB = FirstUserRecord + 2;
  VolumeSpec spec = CraftedSpec({{u"loop.txt", ResidentData(4), [](Bytes& name) { PutLE(name, ParentReference, FolderA, 8); }}});
  for (const auto& [record, parent] : {std::pair{FolderA, FolderB}, {FolderB, FolderA}}) {
    RecordSpec folder;
    folder.Flags = 0x0003;  // in use, a directory
    folder.Attributes = {FileNameAttribute(record == FolderA ? u"a" : u"b", Win32Namespace)};
    PutLE(folder.Attributes[0], ParentReference, static_cast<uint64_t>(parent), 8);
    spec.Records[record] = BuildRecord(folder);
  }
  return BuildVolume(spec);
}

// The boot sector claims 2^44 clusters (64 PiB); $Bitmap's runs and a deleted file's run claim
// nearly all of them. Counting its clusters in use must not walk a bitmap the image cannot hold.
Bytes BitmapAndRunClaimingPetabytes() {
  constexpr uint64_t ClaimedClusters = uint64_t{1} << 44;
  constexpr uint64_t BitmapBytes = ClaimedClusters / 8;
  VolumeSpec spec = CraftedSpec(
      {NonResidentFile(u"vast.bin", {{ClaimedClusters - 20, 10, false}}, (ClaimedClusters - 20) * CraftedClusterBytes)});
  RecordSpec bitmap;
  bitmap.Flags = 0x0001;
  bitmap.Attributes = {NonResidentDataAttribute(EncodeRunList({{BitmapBytes / CraftedClusterBytes, 8, false}}), BitmapBytes)};
  spec.Records[6] = BuildRecord(bitmap);
  Bytes image = BuildVolume(spec);
  VolumeSpec claim = spec;
  claim.TotalClusters = ClaimedClusters;
  const Bytes boot = NtfsBootSector(claim);
  std::copy(boot.begin(), boot.end(), image.begin());
  return image;
}

// A deleted compressed file of the generated compressed volume whose $DATA claims 2^62 bytes
// (allocated and initialized too) in one hole of 2^50 clusters, as 2^46 compression units.
Bytes CompressedFileClaimingExbibytes() {
  const TestImage compressed = LoadTestImage("compressed-4k");
  Bytes image = ReadWholeFile(compressed.Image);
  const uint64_t index = static_cast<uint64_t>(compressed.Get("/Packed/notes.txt").Record);
  PatchRecord(image, RecordOffsetInImage(image, index), compressed.RecordSize, [](Bytes& record) {
    constexpr uint64_t HoleClusters = uint64_t{1} << 50;
    const size_t data = AttributeOffset(record, DataType);
    PutLE(record, data + 0x18, HoleClusters - 1, 8);
    for (const size_t size : {0x28, 0x30, 0x38}) PutLE(record, data + size, uint64_t{1} << 62, 8);
    const size_t runList = data + ReadLE<uint16_t>(record, data + 0x20);
    PutLE(record, runList, 0x07, 1);  // a hole whose length takes 7 bytes
    PutLE(record, runList + 1, HoleClusters, 7);
    PutLE(record, runList + 8, 0, 1);
  });
  return image;
}

// The demo volume with $Bitmap's data cut to its first 256 bytes: the clusters from 2048 on are
// past its end, and the state of the files there is unknown.
Bytes DemoWithShortBitmap() {
  Bytes image = Demo();
  PatchRecord(image, DemoRecordOffset(BitmapRecord), DemoBoot().FileRecordSize, [](Bytes& record) {
    const size_t data = AttributeOffset(record, DataType);
    PutLE(record, data + 0x30, 256, 8);
    PutLE(record, data + 0x38, 256, 8);
  });
  return image;
}

// ---- sources for the deep scan: a crafted volume whose record 0 is gone, so that its records
// are found ones, placed through its boot sector --------------------------------------------

constexpr uint64_t SequenceOne = uint64_t{1} << 48;

// The record carrying its own number at 0x2C, as the deep scan places records by.
Bytes Numbered(Bytes record, uint32_t number) {
  PatchRecord(record, 0, static_cast<uint32_t>(record.size()), [&](Bytes& plain) { PutLE(plain, 0x2C, number, 4); });
  return record;
}

Bytes FoundFileRecord(std::u16string_view name, Bytes data, uint32_t number, uint64_t parent) {
  RecordSpec file = DeletedFileSpec(name, std::move(data));
  PutLE(file.Attributes[1], 0x18, parent, 8);
  return Numbered(BuildRecord(file), number);
}

Bytes FoundFolderRecord(std::u16string_view name, uint32_t number, uint64_t parent) {
  RecordSpec folder;
  folder.Flags = 0x0003;  // in use, a directory
  folder.Attributes = {FileNameAttribute(name, Win32Namespace)};
  PutLE(folder.Attributes[0], 0x18, parent, 8);
  return Numbered(BuildRecord(folder), number);
}

// Records at the MFT's slots from 16 on, whatever numbers they carry; record 0 garbage.
ImageMaker FoundRecords(std::vector<Bytes> records) {
  return [=] {
    VolumeSpec spec = CraftedSpec({});
    spec.Records[0] = Bytes(spec.RecordSize, std::byte{0x5A});
    int32_t slot = FirstUserRecord;
    for (const Bytes& record : records) spec.Records[slot++] = record;
    return BuildVolume(spec);
  };
}

// A file in a folder whose parent is the folder itself's child: no folder on the loop is named.
ImageMaker FoundFileInALoopOfFolders() {
  return FoundRecords({FoundFileRecord(u"loop.txt", ResidentData(4), 16, SequenceOne | 17),
                       FoundFolderRecord(u"a", 17, SequenceOne | 18), FoundFolderRecord(u"b", 18, SequenceOne | 17)});
}

// Two files and two folders claim one number each: both files are listed, and neither folder is
// taken for the other.
ImageMaker FoundRecordsClaimingOneNumber() {
  return FoundRecords({FoundFileRecord(u"first.txt", ResidentData(1), 20, SequenceOne | 21),
                       FoundFileRecord(u"second.txt", ResidentData(2), 20, SequenceOne | 21),
                       FoundFolderRecord(u"one", 21, SequenceOne | 5), FoundFolderRecord(u"two", 21, SequenceOne | 5)});
}

ImageMaker FoundRunListClaimingTerabytes() {
  return FoundRecords(
      {FoundFileRecord(u"good.txt", ResidentData(1), 16, SequenceOne | 5),
       FoundFileRecord(u"big.bin", NonResidentDataAttribute(EncodeRunList({{TiB / 4096, 10, false}}), 4 * TiB), 17,
                       SequenceOne | 5)});
}

// Every sector of the source starts like a record, the rest random.
Bytes SignaturesEverywhere() {
  Bytes image(CraftedClusters * CraftedClusterBytes);
  std::mt19937 random(0xD33);
  for (std::byte& byte : image) byte = static_cast<std::byte>(random());
  for (size_t at = 0; at < image.size(); at += 512) std::memcpy(image.data() + at, "FILE", 4);
  return image;
}

// ---- the matrix ------------------------------------------------------------------------------

struct RestoredFile {
  std::string Name;
  fs::path Path;
};

struct HostileCase {
  std::string Name;
  ImageMaker Make;
  int ScanStatus = 0;
  std::string ScanMessage;  // in what the scan prints, stdout or stderr
  int RecoverStatus = 0;
  std::string RecoverMessage;
  size_t Restored = 0;  // files restored by recover --all
  std::function<void(const std::vector<RestoredFile>& restored)> Check;
  bool Deep = false;  // scan --deep, recover --deep --all
};

HostileCase Case(std::string name, ImageMaker make, int scanStatus, std::string scanMessage, int recoverStatus,
                 std::string recoverMessage, size_t restored = 0,
                 std::function<void(const std::vector<RestoredFile>&)> check = {}) {
  return {std::move(name), std::move(make), scanStatus, std::move(scanMessage), recoverStatus,
          std::move(recoverMessage), restored, std::move(check)};
}

HostileCase DeepCase(std::string name, ImageMaker make, std::string scanMessage, int recoverStatus,
                     std::string recoverMessage, size_t restored) {
  HostileCase hostile = Case(std::move(name), std::move(make), 0, std::move(scanMessage), recoverStatus,
                             std::move(recoverMessage), restored);
  hostile.Deep = true;
  return hostile;
}

std::ostream& operator<<(std::ostream& out, const HostileCase& hostile) { return out << hostile.Name; }

void ExpectNamesInsideTheFolder(const std::vector<RestoredFile>& restored) {
  std::set<std::string> names;
  for (const RestoredFile& file : restored) {
    EXPECT_LE(file.Path.filename().string().size(), 255u) << file.Path;
    names.insert(file.Path.filename().string());
  }
  EXPECT_EQ(names.size(), restored.size()) << "two files restored to one path";
  for (const char* name : {"unnamed", "a_b", "con", "Photo.JPG", "photo.jpg", "PHOTO.jpg"}) {
    EXPECT_EQ(names.count(name), 1u) << name;
  }
}

const std::u16string LongName = std::u16string(251, u'\u6587') + u".txt";

const HostileCase HostileCases[] = {
    Case("Fat32Volume", [] { return ReadWholeFile(TestImagePath("fat32")); }, 2, NotNtfs, 2, NotNtfs),
    Case("EmptyFile", [] { return Bytes(); }, 2, EndsEarly, 2, EndsEarly),
    Case("CutAfterTheBootSector", DemoCutAt([] { return BootSectorSize; }), 2, InvalidMft, 2, InvalidMft),
    // The scan lists what lies before the cut and says how many records it skipped (status 0:
    // the listing is complete for what the image holds); the files' clusters lie past the cut.
    Case("CutInTheMiddleOfTheMft", DemoCutAt([] { return DemoRecordOffset(90); }), 0, RecordsSkipped, 1, RunListError, 0),
    Case("BytesPerSector0", DemoWithBootField(0x0B, 0, 2), 2, DamagedBoot, 2, "bytes per sector (0)"),
    Case("BytesPerSector1", DemoWithBootField(0x0B, 1, 2), 2, DamagedBoot, 2, "bytes per sector (1)"),
    Case("BytesPerSector3", DemoWithBootField(0x0B, 3, 2), 2, DamagedBoot, 2, "bytes per sector (3)"),
    Case("BytesPerSector65535", DemoWithBootField(0x0B, 65535, 2), 2, DamagedBoot, 2, "bytes per sector (65535)"),
    Case("SectorsPerCluster0", DemoWithBootField(0x0D, 0, 1), 2, DamagedBoot, 2, "sectors per cluster (code 0)"),
    Case("RecordSizeCode0", DemoWithBootField(0x40, 0, 1), 2, DamagedBoot, 2, "file record size (0 bytes)"),
    Case("RecordSizeCode7F", DemoWithBootField(0x40, 0x7F, 1), 2, DamagedBoot, 2, "file record size (520192 bytes)"),
    Case("RecordSizeCodeE0", DemoWithBootField(0x40, 0xE0, 1), 2, DamagedBoot, 2, "file record size (1 bytes)"),
    Case("MftRecordBadSignature",
     [] {
       Bytes image = Demo();
       std::memcpy(image.data() + DemoRecordOffset(0), "BAAD", 4);
       std::memcpy(image.data() + DemoMirrorOffset(), "BAAD", 4);
       return image;
     },
     2, InvalidMft, 2, InvalidMft),
    Case("MftRecordBrokenUpdateSequence",
     [] {
       Bytes image = Demo();
       PutLE(image, DemoRecordOffset(0) + 510, 0xEEEE, 2);
       PutLE(image, DemoMirrorOffset() + 510, 0xEEEE, 2);
       return image;
     },
     2, InvalidMft, 2, InvalidMft),
    Case("MftRecordWithoutData", DemoWithMftRecord(RenameDataAttribute), 2, NoMftRuns, 2, NoMftRuns),
    Case("MftRecordWithResidentData", DemoWithMftRecord(MakeDataResident), 2, NoMftRuns, 2, NoMftRuns),
    Case("MftRunListWithoutEnd", DemoWithMftRecord(EndlessRunList), 2, InvalidMft, 2, InvalidMft),
    Case("MftClaimingTwoBillionRecords", ClaimingHugeMft, 0, RecordsSkipped, 0, "1 of 1 files restored.", 1),
    Case("LaterRecordsRandom", DemoWithRandomRecordsFrom(16, false), 0, "Other Files(0)", 0, "0 of 0 files restored.", 0),
    Case("LaterRecordsRandomWithSignature", DemoWithRandomRecordsFrom(16, true), 0, "Other Files(0)", 0,
     "0 of 0 files restored.", 0),
    Case("AttributeLength0", Crafted({GoodFile(), {u"zero.txt", ResidentData(2), AttributeLength(0)}}), 0, "good.txt", 0,
     "1 of 1 files restored.", 1),
    Case("AttributeLength1", Crafted({GoodFile(), {u"one.txt", ResidentData(2), AttributeLength(1)}}), 0, "good.txt", 0,
     "1 of 1 files restored.", 1),
    Case("AttributeLengthFFFFFFFF",
     Crafted({GoodFile(), {u"huge.txt", ResidentData(2), AttributeLength(0xFFFFFFFF)}}), 0, "good.txt", 0,
     "1 of 1 files restored.", 1),
    // The name is read up to the attribute's end; what it picks up there is made safe.
    Case("FileNameLengthPastTheAttribute",
     Crafted({{u"short.txt", ResidentData(2), [](Bytes& name) { PutLE(name, 0x18 + 0x40, 255, 1); }}}), 0,
     "short.txt", 0, "1 of 1 files restored.", 1),
    Case("RunListClaimingTerabytes", Crafted({GoodFile(), NonResidentFile(u"big.bin", {{TiB / 4096, 10, false}}, 4 * TiB)}),
     0, "big.bin", 1, RunListError, 1),
    // A hole of a terabyte is a sparse file: restored as one, costing neither memory nor disk.
    Case("SparseTerabyte", Crafted({NonResidentFile(u"holes.bin", {{1, 10, false}, {TiB / 4096 - 1, 0, true}}, TiB)}), 0,
     "holes.bin", 0, "1 of 1 files restored.", 1,
     [](const std::vector<RestoredFile>& restored) {
       ASSERT_EQ(restored.size(), 1u);
       struct stat info {};
       ASSERT_EQ(::stat(restored[0].Path.c_str(), &info), 0);
       EXPECT_EQ(static_cast<uint64_t>(info.st_size), TiB);
       EXPECT_LT(info.st_blocks * 512, 1 << 20);
     }),
    Case("SizeBeyondItsClusters", Crafted({GoodFile(), NonResidentFile(u"claims.bin", {{2, 10, false}}, 3 * 4096)}), 0,
     "claims.bin", 1, BeyondClusters, 1),
    Case("CompressionUnitsOfTwoBillionClusters", Crafted({GoodFile(), CompressedWithHugeUnits()}), 0, "packed.txt", 1,
     CompressedDamaged, 1),
    Case("AttributeListNamingEightThousandRecords", [] { return FileWithLongAttributeList(256 << 10); }, 0,
     "listed.bin", 1, PartUnreadable, 1),
    Case("AttributeListPastTheLimit", [] { return FileWithLongAttributeList(300 << 10); }, 0, "listed.bin", 1,
     ListTooLarge, 1),
    // Sixty-four free records whose lists, over the same clusters, name the same 8,190 records.
    Case("ListsNamingTheSameRecords", [] { return BuildVolume(SharedAttributeLists(64, 8190, 1024)); }, 0,
     "good.txt", 0, "1 of 1 files restored.", 1),
    // $MFT's own list of 8,190 one-cluster pieces, each in a record that the piece before maps.
    Case("MftListOfEightThousandPieces", [] { return BuildVolume(MftInListedPieces(8190, 2048)); }, 0, "good.txt", 0,
     "1 of 1 files restored.", 1),
    Case("FileOfMillionsOfRuns", [] { return BuildVolume(FileOfManyRuns(8190)); }, 0, "runs.bin", 0,
     "1 of 1 files restored.", 1,
     [](const std::vector<RestoredFile>& restored) {
       ASSERT_EQ(restored.size(), 1u);
       const Bytes content = ReadWholeFile(restored[0].Path);
       ASSERT_EQ(content.size(), ManyRunsDataBytes);
       // Clusters and holes in turn, the two clusters taking turns.
       const Bytes clusters = Pattern(2 * CraftedClusterBytes, 5);
       for (size_t vcn = 0; vcn < content.size() / CraftedClusterBytes; ++vcn) {
         const auto cluster = content.begin() + static_cast<ptrdiff_t>(vcn * CraftedClusterBytes);
         const Bytes expected = vcn % 2 == 1 ? Bytes(CraftedClusterBytes)
                                             : Bytes(clusters.begin() + (vcn / 2 % 2) * CraftedClusterBytes,
                                                     clusters.begin() + (vcn / 2 % 2 + 1) * CraftedClusterBytes);
         EXPECT_TRUE(std::equal(expected.begin(), expected.end(), cluster)) << "cluster " << vcn;
       }
     }),
    // Refused before anything is written, as the other six files of the volume are restored.
    Case("CompressedFileClaimingFourExbibytes", CompressedFileClaimingExbibytes, 0, "notes.txt", 1, BeyondNtfs, 6),
    Case("BitmapShorterThanTheVolume", DemoWithShortBitmap, 0, "[Unknown: ", 0, "17 of 17 files restored.", 17),
    Case("RunsPastTheVolumesEnd",
     Crafted({GoodFile(), NonResidentFile(u"past.bin", {{8, CraftedClusters - 2, false}}, 8 * CraftedClusterBytes)}), 0,
     "past.bin", 1, RunListError, 1),
    Case("RunsPastTheImagesEnd", FileBeyondTheImagesEnd, 0, "far.bin", 1, RunListError, 1),
    Case("FolderChainInALoop", FileInALoopOfFolders, 0, "  loop.txt\n", 0, "1 of 1 files restored.", 1),
    Case("BitmapAndRunClaimingPetabytes", BitmapAndRunClaimingPetabytes, 0, "vast.bin", 1, BeyondNtfs, 0),
    Case("HostileNames",
     Crafted({{u"..", ResidentData(1), {}},
              {u"a/b", ResidentData(2), {}},
              {u"con", ResidentData(3), {}},
              {LongName, ResidentData(4), {}},
              {u"Photo.JPG", ResidentData(5), {}},
              {u"photo.jpg", ResidentData(6), {}},
              {u"PHOTO.jpg", ResidentData(7), {}}}),
     0, "PHOTO.jpg", 0, "7 of 7 files restored.", 7, ExpectNamesInsideTheFolder),
    DeepCase("FoundFileInALoopOfFolders", FoundFileInALoopOfFolders(), "  loop.txt  [Found]\n", 0,
             "1 of 1 files restored.", 1),
    DeepCase("FoundRecordsClaimingOneNumber", FoundRecordsClaimingOneNumber(), "  second.txt  [Found]\n", 0,
             "2 of 2 files restored.", 2),
    DeepCase("FoundRunListClaimingTerabytes", FoundRunListClaimingTerabytes(), "big.bin", 1, RunListError, 1),
    DeepCase("RecordSignatureInEverySector", SignaturesEverywhere, "Other Files(0)", 0, "0 of 0 files restored.", 0),
};

class HostileImage : public testing::TestWithParam<HostileCase> {
 protected:
  // Runs the command and checks what every run must do, whatever the image.
  MeasuredResult Run(const std::vector<std::string>& arguments) {
    const MeasuredResult result = RunSalvoranMeasured(arguments, TimeLimitSeconds);
    EXPECT_FALSE(result.TimedOut) << arguments[0] << " still running after " << TimeLimitSeconds << " s";
    EXPECT_FALSE(result.Signalled) << arguments[0] << " was killed by a signal";
    EXPECT_GT(result.PeakRssKiB, 0);
    EXPECT_LE(result.PeakRssKiB, PeakRssLimitKiB) << arguments[0];
    EXPECT_EQ(result.Err.find("Sanitizer"), std::string::npos) << result.Err;
    EXPECT_EQ(result.Err.find("runtime error"), std::string::npos) << result.Err;
    return result;
  }

  TempDir folder_;
  fs::path image_ = folder_.Path() / "source.img";
  fs::path output_ = folder_.Path() / "restored";
};

TEST_P(HostileImage, ScanAndRecoverAnswerClearlyWithinTimeAndMemory) {
  const HostileCase& hostile = GetParam();
  WriteImage(image_, hostile.Make());
  // bench/hostile_memory.sh measures the same images: it asks for a copy of each.
  if (const char* keep = std::getenv("SALVORAN_KEEP_HOSTILE_IMAGES")) {
    fs::copy_file(image_, fs::path(keep) / (hostile.Name + ".img"), fs::copy_options::overwrite_existing);
  }
  const UnchangedSource source(image_.string());

  const std::vector<std::string> deep = hostile.Deep ? std::vector<std::string>{"--deep"} : std::vector<std::string>{};
  std::vector<std::string> scanArguments{"scan", image_.string()};
  scanArguments.insert(scanArguments.end(), deep.begin(), deep.end());
  const MeasuredResult scan = Run(scanArguments);
  EXPECT_EQ(scan.ExitCode, hostile.ScanStatus) << scan.Err;
  EXPECT_NE((scan.Out + scan.Err).find(hostile.ScanMessage), std::string::npos) << scan.Out << scan.Err;

  std::vector<std::string> recoverArguments{"recover", image_.string(), "--all", "--output", output_.string()};
  recoverArguments.insert(recoverArguments.end(), deep.begin(), deep.end());
  const MeasuredResult recover = Run(recoverArguments);
  EXPECT_EQ(recover.ExitCode, hostile.RecoverStatus) << recover.Err;
  EXPECT_NE((recover.Out + recover.Err).find(hostile.RecoverMessage), std::string::npos)
      << recover.Out << recover.Err;

  // Everything written lies in the output folder, directly; a source that cannot be read gets
  // no output folder at all.
  std::set<fs::path> besideTheImage;
  for (const auto& entry : fs::directory_iterator(folder_.Path())) besideTheImage.insert(entry.path());
  std::set<fs::path> expected{image_};
  if (hostile.RecoverStatus != 2) expected.insert(output_);
  EXPECT_EQ(besideTheImage, expected);
  std::vector<RestoredFile> restored;
  if (fs::exists(output_)) {
    for (const auto& entry : fs::recursive_directory_iterator(output_)) {
      EXPECT_EQ(entry.path().parent_path(), output_) << entry.path();
      EXPECT_TRUE(entry.is_regular_file()) << entry.path();
      restored.push_back({entry.path().filename().string(), entry.path()});
    }
  }
  EXPECT_EQ(restored.size(), hostile.Restored);
  if (hostile.Check) hostile.Check(restored);
}

INSTANTIATE_TEST_SUITE_P(Matrix, HostileImage, testing::ValuesIn(HostileCases),
                         [](const auto& info) { return info.param.Name; });

// first.txt claims number 20, so its folder's record (21) is guessed one record on, where
// second.txt lies: recover --id cannot take the guess and reads the whole source instead, as the
// scan did, and restores the file the scan listed.
TEST(HostileFoundIds, AnIdWhoseRecordsAreNotWhereGuessedIsFoundByAReadOfTheWholeSource) {
  TempDir folder;
  const fs::path image = folder.Path() / "claims.img";
  WriteImage(image, FoundRecordsClaimingOneNumber()());
  const UnchangedSource source(image.string());
  const CommandResult scan = RunSalvoran({"scan", image.string(), "--deep", "--json"});
  std::string id;
  const Json listing = Json::parse(scan.Out);
  for (const Json& file : listing["files"]) {
    if (file["name"] == "first.txt") id = file["id"].get<std::string>();
  }
  ASSERT_FALSE(id.empty()) << scan.Out;
  const fs::path output = folder.Path() / "out";
  const CommandResult recover = RunSalvoran({"recover", image.string(), "--id", id, "--output", output.string()});
  EXPECT_EQ(recover.ExitCode, 0) << recover.Err;
  EXPECT_NE(recover.Err.find("the whole source is read to find them"), std::string::npos) << recover.Err;
  EXPECT_EQ(ReadWholeFile(output / "first.txt"), Pattern(100, 1));
}

// Names are untrusted bytes: in the listing and in the lines of a restore, their control
// characters are written out, so none reaches the terminal to recolour it or start a line.
TEST(HostileNames, ControlCharactersReachNoTerminal) {
  const std::u16string name = u"evil\nrestored        99  fake.txt\x1b[31m.txt";
  const std::string shown = "evil\\nrestored        99  fake.txt\\x1b[31m.txt";
  TempDir folder;
  const fs::path image = folder.Path() / "names.img";
  WriteImage(image, Crafted({{name, ResidentData(1), {}},
                             NonResidentFile(name, {{8, CraftedClusters - 2, false}}, 8 * CraftedClusterBytes)})());
  const UnchangedSource source(image.string());

  const CommandResult scan = RunSalvoran({"scan", image.string()});
  const CommandResult recover =
      RunSalvoran({"recover", image.string(), "--all", "--output", (folder.Path() / "out").string()});
  EXPECT_EQ(scan.ExitCode, 0) << scan.Err;
  EXPECT_EQ(recover.ExitCode, 1) << recover.Err;
  EXPECT_NE(scan.Out.find(shown), std::string::npos) << scan.Out;
  EXPECT_NE(recover.Err.find(" 17  " + shown + ": "), std::string::npos) << recover.Err;
  for (const std::string& output : {scan.Out, scan.Err, recover.Out, recover.Err}) {
    EXPECT_EQ(output.find('\x1b'), std::string::npos) << output;
    EXPECT_EQ(output.find("\nrestored        99"), std::string::npos) << output;
  }
}

// The text listing groups files by category and so keeps them all until the scan ends: what it
// keeps must not grow with the length of their folders (here 3.8 KB each).
TEST(HostileListing, FilesInLongFoldersKeepTheListingSmall) {
  // Enough to pass the bound if every path were kept (88 MiB); under the sanitizers, whose own
  // memory hides the bound, fewer keep the run short.
  constexpr int32_t Files = Sanitized ? 1'024 : 16'384;
  const LongFoldersVolume volume = FilesInLongFolders(Files);
  TempDir folder;
  const fs::path image = folder.Path() / "long-folders.img";
  WriteImage(image, volume.Image);
  const UnchangedSource source(image.string());

  const MeasuredResult scan = RunSalvoranMeasured({"scan", image.string()}, TimeLimitSeconds);
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  EXPECT_NE(scan.Out.find("Document Files(" + std::to_string(Files) + ")\n"), std::string::npos);
  EXPECT_EQ(std::count(scan.Out.begin(), scan.Out.end(), '\n'), Files + 6);
  EXPECT_NE(scan.Out.find("  " + volume.Folder + "/" + volume.FileName + "\n"), std::string::npos);
  EXPECT_LE(scan.PeakRssKiB, PeakRssLimitKiB);
}

// The image's mode forbids writing; as root that stops nothing, so UnchangedSource's watch
// and the volume layer's own check (RawVolumeTest) are what hold.
TEST(ReadOnlyImage, ScanAndRecoverWorkOnAnImageWithoutWritePermission) {
  TempDir folder;
  const fs::path image = folder.Path() / "demo.img";
  fs::copy_file(TestImagePath("demo"), image);
  fs::permissions(image, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  const UnchangedSource source(image.string());

  const CommandResult scan = RunSalvoran({"scan", image.string(), "--json"});
  ASSERT_EQ(scan.ExitCode, 0) << scan.Err;
  const size_t listed = Json::parse(scan.Out)["files"].size();
  const CommandResult recover =
      RunSalvoran({"recover", image.string(), "--all", "--output", (folder.Path() / "out").string()});
  EXPECT_EQ(recover.ExitCode, 0) << recover.Err;
  EXPECT_NE(recover.Out.find(std::to_string(listed) + " of " + std::to_string(listed) + " files restored."),
            std::string::npos)
      << recover.Out;
  EXPECT_EQ(fs::status(image).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

}  // namespace
}  // namespace salvoran::test
