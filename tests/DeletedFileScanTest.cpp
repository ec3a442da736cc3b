#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "engine/DateTime.h"
#include "engine/DeletedFileScan.h"
#include "engine/VolumeRepair.h"
#include "engine/EngineError.h"
#include "engine/FileCategory.h"
#include "engine/FileRecord.h"
#include "tests/support/CraftedVolume.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::CollectingObserver;
using test::DeletedFileRecord;
using test::DeletedFileSpec;
using test::RecordSpec;
using test::VolumeSpec;

constexpr uint64_t ClusterBytes = 4096;
constexpr uint64_t RecordBytes = 1024;
constexpr uint64_t MftCluster = 64;
constexpr int32_t SampleIndex = 20;

Bytes SmallContent() { return test::ResidentDataAttribute(test::ToBytes("content")); }

// A 2 MiB volume whose MFT lies in one run at cluster 64.
VolumeSpec ScanVolume(uint64_t mftClusters) {
  VolumeSpec spec;
  spec.TotalClusters = 512;
  spec.MftRuns = {{mftClusters, MftCluster, false}};
  return spec;
}

void PlaceDeletedFile(VolumeSpec& spec, int32_t index) {
  spec.Records[index] = DeletedFileRecord(u"file" + std::u16string(1, u'A' + index % 26) + u".txt", SmallContent(),
                                          spec.RecordSize);
}

std::set<int32_t> ListedIndexes(const CollectingObserver& observer) {
  std::set<int32_t> indexes;
  for (const FoundFile& file : observer.Files) indexes.insert(file.RecordIndex);
  return indexes;
}

class DeletedFileScanTest : public ::testing::Test {
 protected:
  ScanSummary Scan(VolumeSource& volume) { return ScanOpenVolume(volume, geometry_, observer_); }
  ScanSummary Scan(const VolumeSpec& spec) {
    MemoryVolume volume(test::BuildVolume(spec));
    return Scan(volume);
  }

  CollectingObserver observer_;
  VolumeGeometry geometry_;
};

struct Candidate {
  const char* Description;
  RecordSpec Record;
  std::optional<std::u16string> ListedAs;
};

RecordSpec WithFlags(uint16_t flags) {
  RecordSpec spec = DeletedFileSpec(u"notes.txt", SmallContent());
  spec.Flags = flags;
  return spec;
}

RecordSpec WithAttributes(std::vector<Bytes> attributes) {
  RecordSpec spec;
  spec.Attributes = std::move(attributes);
  return spec;
}

const Bytes Times = test::StandardInformationAttribute(test::SampleCreated, test::SampleModified);
const Bytes LongName = test::FileNameAttribute(u"notes.txt", test::Win32Namespace);
const Bytes ShortName = test::FileNameAttribute(u"NOTES~1.TXT", test::DosNamespace);

class ListingTest : public DeletedFileScanTest, public ::testing::WithParamInterface<Candidate> {};

TEST_P(ListingTest, ListsAFreeRecordWithTimesLongNameAndDataOnly) {
  VolumeSpec spec = ScanVolume(8);
  spec.Records[SampleIndex] = test::BuildRecord(GetParam().Record);
  Scan(spec);
  if (!GetParam().ListedAs) {
    EXPECT_TRUE(observer_.Files.empty()) << GetParam().Description;
    return;
  }
  ASSERT_EQ(observer_.Files.size(), 1u) << GetParam().Description;
  EXPECT_EQ(observer_.Files[0].Data.FileName, *GetParam().ListedAs);
  EXPECT_EQ(observer_.Files[0].RecordIndex, SampleIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Records, ListingTest,
    ::testing::Values(
        Candidate{"deleted file", WithFlags(0), u"notes.txt"},
        Candidate{"file in use", WithFlags(RecordInUse), std::nullopt},
        Candidate{"deleted directory", WithFlags(RecordIsDirectory), std::nullopt},
        Candidate{"directory in use", WithFlags(RecordInUse | RecordIsDirectory), std::nullopt},
        Candidate{"free record with another flag", WithFlags(0x0004), std::nullopt},
        Candidate{"DOS name only", WithAttributes({Times, ShortName, SmallContent()}), std::nullopt},
        Candidate{"DOS then long name", WithAttributes({Times, ShortName, LongName, SmallContent()}), u"notes.txt"},
        Candidate{"no data", WithAttributes({Times, LongName}), std::nullopt},
        Candidate{"no times", WithAttributes({LongName, SmallContent()}), std::nullopt},
        Candidate{"no name", WithAttributes({Times, SmallContent()}), std::nullopt},
        Candidate{"non-resident data",
                  WithAttributes({Times, LongName,
                                  test::NonResidentDataAttribute(test::EncodeRunList({{1, 300, false}}), 100)}),
                  u"notes.txt"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(DeletedFileScanTest, ATornRecordIsNotListed) {
  VolumeSpec spec = ScanVolume(8);
  PlaceDeletedFile(spec, SampleIndex);
  test::PutLE(spec.Records[SampleIndex], 510, 0xEEEE, 2);
  PlaceDeletedFile(spec, SampleIndex + 1);
  const ScanSummary summary = Scan(spec);
  EXPECT_EQ(ListedIndexes(observer_), std::set<int32_t>{SampleIndex + 1});
  EXPECT_EQ(summary.UnreadableRecords, 0);
}

TEST_F(DeletedFileScanTest, ReportsWhatTheRecordHolds) {
  test::ScopedTimeZone utc("UTC");
  VolumeSpec spec = ScanVolume(8);
  spec.Records[SampleIndex] = DeletedFileRecord(
      u"Report.Docx", test::NonResidentDataAttribute(test::EncodeRunList({{3, 300, false}}), 10'000, 2));
  Scan(spec);

  ASSERT_EQ(observer_.Files.size(), 1u);
  const FoundFile& file = observer_.Files[0];
  EXPECT_EQ(file.RecordIndex, SampleIndex);
  EXPECT_EQ(file.Category, FileCategory::Document);
  EXPECT_EQ(file.CreateFileTime, test::SampleCreated);
  EXPECT_EQ(file.ModifyFileTime, test::SampleModified);
  EXPECT_EQ(file.Data.FileName, u"Report.Docx");
  EXPECT_EQ(file.Data.Extension, u".Docx");
  EXPECT_EQ(file.Data.CreateTime, EncodeDateTime({2021, 6, 15, 12, 0, 0, 0}));
  EXPECT_EQ(file.Data.ModifyTime, EncodeDateTime({2022, 1, 11, 12, 0, 0, 0}));
  EXPECT_EQ(file.Data.FileSize, 10'000);
  EXPECT_EQ(file.Data.RecordOffset, static_cast<int64_t>(MftCluster * ClusterBytes + SampleIndex * RecordBytes));
  EXPECT_EQ(file.Data.IsFileEntry, 1);
}

TEST_F(DeletedFileScanTest, ScansOnlyFromTheFirstUserRecord) {
  VolumeSpec spec = ScanVolume(8);
  // Free records below 16 belong to the file system itself.
  for (int32_t index : {1, 5, 15, 16, 31}) PlaceDeletedFile(spec, index);
  const ScanSummary summary = Scan(spec);
  EXPECT_EQ(ListedIndexes(observer_), (std::set<int32_t>{16, 31}));
  EXPECT_EQ(summary.RecordsScanned, 32 - FirstUserRecord);
  EXPECT_FALSE(summary.Stopped);
  EXPECT_EQ(observer_.StartedRecordCount, 32);
}

struct NamedFile {
  std::u16string Name;
  FileCategory Category;
  std::u16string Extension;
};

const std::vector<NamedFile> NamedFiles = {
    {u"Report.Docx", FileCategory::Document, u".Docx"},  {u"backup.tar.gz", FileCategory::Other, u".gz"},
    {u"README", FileCategory::Other, u""},               {u"photo.jpeg", FileCategory::Graphics, u".jpeg"},
    {u"Song.Mp3", FileCategory::Music, u".Mp3"},          {u"clip.rmvb", FileCategory::Video, u".rmvb"},
    {u"index.HtMl", FileCategory::Html, u".HtMl"},        {u".htaccess", FileCategory::Other, u".htaccess"},
    {u"archive.zip", FileCategory::Document, u".zip"},    {u"trailing.", FileCategory::Other, u"."},
    {u"main.cpp", FileCategory::Document, u".cpp"},       {u"movie.mp4.part", FileCategory::Other, u".part"},
};

// One scan of a volume holding every named file, shared by the cases below.
const CollectingObserver& NamedFilesScan() {
  static const CollectingObserver observer = [] {
    VolumeSpec spec = ScanVolume(8);
    for (size_t i = 0; i < NamedFiles.size(); ++i) {
      spec.Records[FirstUserRecord + static_cast<int32_t>(i)] = DeletedFileRecord(NamedFiles[i].Name, SmallContent());
    }
    MemoryVolume volume(test::BuildVolume(spec));
    CollectingObserver scanned;
    VolumeGeometry geometry;
    ScanOpenVolume(volume, geometry, scanned);
    return scanned;
  }();
  return observer;
}

class CategoryByNameTest : public ::testing::TestWithParam<NamedFile> {};

TEST_P(CategoryByNameTest, FilesAreSortedByTheExtensionAfterTheLastFullStop) {
  const FoundFile* file = NamedFilesScan().Find(GetParam().Name);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(file->Category, GetParam().Category);
  EXPECT_EQ(file->Data.Extension, GetParam().Extension);
}

INSTANTIATE_TEST_SUITE_P(Names, CategoryByNameTest, ::testing::ValuesIn(NamedFiles),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

struct ExtensionCategory {
  std::u16string Extension;
  FileCategory Category;
};

class CategoryTableTest : public ::testing::TestWithParam<ExtensionCategory> {};

TEST_P(CategoryTableTest, PutsEachExtensionInItsCategory) {
  EXPECT_EQ(CategoryOfExtension(GetParam().Extension), GetParam().Category);
}

std::vector<ExtensionCategory> CategoryTable() {
  std::vector<ExtensionCategory> table;
  const auto add = [&](FileCategory category, std::initializer_list<const char16_t*> extensions) {
    for (const char16_t* extension : extensions) table.push_back({extension, category});
  };
  add(FileCategory::Graphics, {u".BMP", u".JPG", u".JPEG", u".GIF", u".ICO", u".PNG", u".PSD"});
  add(FileCategory::Music, {u".MP3", u".MID", u".WAV"});
  add(FileCategory::Video, {u".MP4", u".VOD", u".RMVB", u".FLV", u".SWF"});
  add(FileCategory::Document, {u".DOC", u".DOCX", u".PDF", u".XLS", u".PPT", u".TXT", u".RTF", u".LOG", u".ZIP",
                               u".RAR", u".CPP", u".PAS"});
  add(FileCategory::Html, {u".JS", u".HTM", u".HTML", u".CSS", u".ASP", u".PHP", u".MHT"});
  add(FileCategory::Other, {u"", u".", u".XLSX", u".MP4X", u".TAR.GZ", u"JPG", u".JP", u".MHTML", u".GZ", u".EXE",
                            u".JPG ", u".H"});
  return table;
}

INSTANTIATE_TEST_SUITE_P(Extensions, CategoryTableTest, ::testing::ValuesIn(CategoryTable()),
                         [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST(CategoryNamesTest, EachCategoryHasItsOwnNameAndCaption) {
  const std::vector<std::pair<std::string_view, std::string_view>> expected = {
      {"Graphics", "Graphics Files"}, {"Music", "Music Files"}, {"Video", "Video Files"},
      {"Document", "Document Files"}, {"Html", "HTML Files"},   {"Other", "Other Files"}};
  ASSERT_EQ(AllCategories.size(), expected.size());
  for (size_t i = 0; i < AllCategories.size(); ++i) {
    EXPECT_EQ(CategoryName(AllCategories[i]), expected[i].first);
    EXPECT_EQ(CategoryCaption(AllCategories[i]), expected[i].second);
  }
}

// 260 clusters of four records: 1040 records, so progress points 256 to 1024 all occur.
constexpr uint64_t ProgressMftClusters = 260;

TEST_F(DeletedFileScanTest, ReportsProgressEvery256RecordsBeforeThatRecord) {
  VolumeSpec spec = ScanVolume(ProgressMftClusters);
  for (int32_t index : {255, 256, 767, 768}) PlaceDeletedFile(spec, index);
  std::vector<std::set<int32_t>> listedAtProgress;
  observer_.OnProgress = [&](int32_t) { listedAtProgress.push_back(ListedIndexes(observer_)); };

  Scan(spec);

  EXPECT_EQ(observer_.ProgressIndexes, (std::vector<int32_t>{256, 512, 768, 1024}));
  ASSERT_EQ(listedAtProgress.size(), 4u);
  EXPECT_EQ(listedAtProgress[0], std::set<int32_t>{255});
  EXPECT_EQ(listedAtProgress[2], (std::set<int32_t>{255, 256, 767}));
}

TEST_F(DeletedFileScanTest, AsksWhetherToStopBeforeEveryRecord) {
  const ScanSummary summary = Scan(ScanVolume(ProgressMftClusters));
  EXPECT_EQ(observer_.StopQueries, 1040 - FirstUserRecord);
  EXPECT_EQ(summary.RecordsScanned, 1040 - FirstUserRecord);
}

TEST_F(DeletedFileScanTest, StopsBeforeTheRecordAfterTheStopRequest) {
  VolumeSpec spec = ScanVolume(ProgressMftClusters);
  for (int32_t index : {999, 1000, 1001, 1023}) PlaceDeletedFile(spec, index);
  observer_.OnFileFound = [&](const FoundFile& file) { observer_.StopFlag = file.RecordIndex == 1000; };

  const ScanSummary summary = Scan(spec);

  EXPECT_TRUE(summary.Stopped);
  EXPECT_EQ(ListedIndexes(observer_), (std::set<int32_t>{999, 1000}));
  EXPECT_EQ(summary.RecordsScanned, 1000 - FirstUserRecord + 1);
}

// The desktop program handles a Stop click when it processes events, at a progress point.
TEST_F(DeletedFileScanTest, AStopHandledAtAProgressPointEndsTheScanBeforeThatRecordIsRead) {
  VolumeSpec spec = ScanVolume(ProgressMftClusters);
  for (int32_t index : {1000, 1023, 1024, 1025}) PlaceDeletedFile(spec, index);
  MemoryVolume memory(test::BuildVolume(spec));
  test::WatchedVolume volume(memory);
  bool clickPending = false;
  observer_.OnFileFound = [&](const FoundFile& file) { clickPending |= file.RecordIndex == 1000; };
  observer_.OnProgress = [&](int32_t) { observer_.StopFlag = clickPending; };

  const ScanSummary summary = Scan(volume);

  EXPECT_TRUE(summary.Stopped);
  EXPECT_EQ(ListedIndexes(observer_), (std::set<int32_t>{1000, 1023}));
  EXPECT_EQ(observer_.ProgressIndexes.back(), 1024);
  EXPECT_FALSE(volume.Touched(MftCluster * ClusterBytes + 1024 * RecordBytes, RecordBytes));
  // Only announced, so that a disk can fetch it while the block before is decoded.
  EXPECT_TRUE(volume.Announced(MftCluster * ClusterBytes + 1024 * RecordBytes, RecordBytes));
}

// Free records whose attribute lists, over the same clusters, name the same records: those
// records are read once in the whole scan, not once for every list that names them.
TEST_F(DeletedFileScanTest, RecordsThatManyAttributeListsNameAreReadOnce) {
  constexpr int32_t Lists = 20;
  constexpr uint64_t Named = 2000;
  constexpr int32_t FirstNamed = 1100;  // past the first block of records
  MemoryVolume memory(test::BuildVolume(test::SharedAttributeLists(Lists, Named, FirstNamed)));
  test::WatchedVolume volume(memory);

  Scan(volume);

  EXPECT_NE(observer_.Find(u"good.txt"), nullptr);
  const auto recordReads = std::count_if(volume.Reads().begin(), volume.Reads().end(),
                                         [](const test::WatchedVolume::Read& read) { return read.Length == RecordBytes; });
  EXPECT_LT(recordReads, 2 * Named) << "each named record once, not once per list";
}

// A source that fails outright (a memory request, an image library) while the MFT is read on
// the reading thread: the scan ends with that error, after the files found before it.
TEST_F(DeletedFileScanTest, AnErrorWhileTheMftIsReadEndsTheScanWithItsMessage) {
  class FailingVolume : public MemoryVolume {
   public:
    using MemoryVolume::MemoryVolume;
    ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override {
      if (offset <= FailAt && FailAt < offset + buffer.size()) throw EngineError("Read failed!");
      return MemoryVolume::ReadAt(offset, buffer);
    }
    uint64_t FailAt = UINT64_MAX;
  };
  VolumeSpec spec = ScanVolume(ProgressMftClusters);
  for (int32_t index : {100, 1030}) PlaceDeletedFile(spec, index);
  FailingVolume volume(test::BuildVolume(spec));
  volume.FailAt = MftCluster * ClusterBytes + 1030 * RecordBytes;

  try {
    Scan(volume);
    ADD_FAILURE() << "the scan ended without the error";
  } catch (const EngineError& error) {
    EXPECT_STREQ(error.what(), "Read failed!");
  }
  EXPECT_EQ(ListedIndexes(observer_), std::set<int32_t>{100});
}

TEST_F(DeletedFileScanTest, AnMftOfSixteenRecordsOrFewerHasNothingToScan) {
  for (uint64_t mftClusters : {4, 2}) {
    VolumeSpec spec = ScanVolume(mftClusters);
    MemoryVolume memory(test::BuildVolume(spec));
    test::WatchedVolume volume(memory);
    CollectingObserver observer;
    VolumeGeometry geometry;

    const ScanSummary summary = ScanOpenVolume(volume, geometry, observer);

    EXPECT_EQ(summary.RecordsScanned, 0);
    EXPECT_TRUE(observer.Files.empty());
    EXPECT_TRUE(observer.ProgressIndexes.empty());
    // Nothing of the MFT is read beyond the records its mirror copies, which every opening checks.
    EXPECT_FALSE(volume.Touched(MftCluster * ClusterBytes + MirroredRecords * RecordBytes, 64 * ClusterBytes))
        << mftClusters;
  }
}

TEST_F(DeletedFileScanTest, ListsDeletedFilesInLaterMftExtents) {
  VolumeSpec spec = ScanVolume(0);
  spec.MftRuns = {{4, MftCluster, false}, {4, 300, false}, {4, 150, false}};
  PlaceDeletedFile(spec, SampleIndex);
  PlaceDeletedFile(spec, 40);
  // Where record 20 would lie if the MFT were one run: a decoy that must not be read.
  spec.Clusters[MftCluster + SampleIndex * RecordBytes / ClusterBytes] = DeletedFileRecord(u"decoy.txt", SmallContent());

  Scan(spec);

  ASSERT_EQ(ListedIndexes(observer_), (std::set<int32_t>{SampleIndex, 40}));
  EXPECT_EQ(observer_.Find(u"decoy.txt"), nullptr);
  EXPECT_EQ(observer_.Files[0].Data.RecordOffset, static_cast<int64_t>(300 * ClusterBytes + 4 * RecordBytes));
  EXPECT_EQ(observer_.Files[1].Data.RecordOffset, static_cast<int64_t>(150 * ClusterBytes + 8 * RecordBytes));
}

// 512-byte clusters; the first MFT run's 37 clusters end halfway through record 18.
constexpr uint64_t SmallCluster = 512;
constexpr uint64_t SecondRunCluster = 500;

VolumeSpec StraddlingVolume() {
  VolumeSpec spec;
  spec.BytesPerCluster = SmallCluster;
  spec.TotalClusters = 1024;
  spec.MftRuns = {{37, MftCluster, false}, {40, SecondRunCluster, false}};
  PlaceDeletedFile(spec, 17);
  PlaceDeletedFile(spec, 19);
  PlaceDeletedFile(spec, 20);
  // A long name pushes $DATA into the half of the record that lies in the second run.
  spec.Records[18] = DeletedFileRecord(std::u16string(200, u'x') + u".bin", SmallContent(), RecordBytes);
  return spec;
}

TEST_F(DeletedFileScanTest, ListsARecordThatStraddlesTwoMftRuns) {
  const ScanSummary summary = Scan(StraddlingVolume());

  EXPECT_EQ(geometry_.RecordCount, 38);
  EXPECT_EQ(summary.UnreadableRecords, 0);
  EXPECT_EQ(ListedIndexes(observer_), (std::set<int32_t>{17, 18, 19, 20}));
  const auto straddling = std::find_if(observer_.Files.begin(), observer_.Files.end(),
                                       [](const FoundFile& file) { return file.RecordIndex == 18; });
  ASSERT_NE(straddling, observer_.Files.end());
  EXPECT_EQ(straddling->Data.RecordOffset, static_cast<int64_t>(MftCluster * SmallCluster + 18 * RecordBytes));
  EXPECT_EQ(straddling->Data.FileName, std::u16string(200, u'x') + u".bin");
}

TEST_F(DeletedFileScanTest, AnUnreadableSectorInAStraddlingRecordLosesOnlyThatRecord) {
  MemoryVolume memory(test::BuildVolume(StraddlingVolume()));
  test::WatchedVolume volume(memory);
  // In the second half of record 18, at the start of the second run.
  volume.FailStretch(SecondRunCluster * SmallCluster + 100, 1);

  const ScanSummary summary = Scan(volume);

  EXPECT_EQ(summary.UnreadableRecords, 1);
  EXPECT_EQ(ListedIndexes(observer_), (std::set<int32_t>{17, 19, 20}));
}

struct BadStretch {
  const char* Description;
  int32_t Record;       // the stretch starts in this record
  uint64_t Skip;        // bytes into it
  uint64_t Length;
  std::set<int32_t> Lost;
};

class UnreadableStretchTest : public DeletedFileScanTest, public ::testing::WithParamInterface<BadStretch> {};

TEST_P(UnreadableStretchTest, LosesOnlyTheRecordsTouchingAnUnreadableStretch) {
  const BadStretch bad = GetParam();
  VolumeSpec spec = ScanVolume(300);
  const std::set<int32_t> placed = {16, 17, 99, 100, 101, 102, 500, 1022, 1023, 1024, 1025, 1199};
  for (int32_t index : placed) PlaceDeletedFile(spec, index);
  MemoryVolume memory(test::BuildVolume(spec));
  test::WatchedVolume volume(memory);
  volume.FailStretch(MftCluster * ClusterBytes + static_cast<uint64_t>(bad.Record) * RecordBytes + bad.Skip, bad.Length);

  const ScanSummary summary = Scan(volume);

  std::set<int32_t> expected;
  std::set_difference(placed.begin(), placed.end(), bad.Lost.begin(), bad.Lost.end(),
                      std::inserter(expected, expected.end()));
  EXPECT_EQ(ListedIndexes(observer_), expected) << bad.Description;
  EXPECT_EQ(summary.UnreadableRecords, static_cast<int32_t>(bad.Lost.size())) << bad.Description;
  EXPECT_EQ(summary.RecordsScanned, 1200 - FirstUserRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Stretches, UnreadableStretchTest,
    ::testing::Values(BadStretch{"inside one record", 100, 256, 512, {100}},
                      BadStretch{"across two records", 100, 512, 1024, {100, 101}},
                      BadStretch{"one byte at a record's end", 101, 1023, 1, {101}},
                      BadStretch{"first record read", 16, 0, 1, {16}},
                      BadStretch{"across the end of a block", 1023, 512, 1024, {1023, 1024}},
                      BadStretch{"last record", 1199, 1000, 24, {1199}}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

// 64 KiB records put record 65600 more than 4 GiB into an MFT that starts at 5 GiB.
TEST_F(DeletedFileScanTest, ComputesRecordOffsetsBeyondFourGibibytes) {
  constexpr uint32_t LargeRecord = 64 * 1024;
  constexpr uint64_t FarMftCluster = 0x140000;
  constexpr int32_t FarIndex = 65600;
  constexpr uint64_t FiveGibibytes = uint64_t{5} << 30;
  VolumeSpec spec;
  spec.RecordSize = LargeRecord;
  spec.MftRuns = {{uint64_t{FarIndex + 16} * LargeRecord / ClusterBytes, FarMftCluster, false}};
  spec.TotalClusters = FarMftCluster + spec.MftRuns[0].ClusterCount + 16;
  spec.Records[FarIndex] = DeletedFileRecord(
      u"far.bin", test::NonResidentDataAttribute(test::EncodeRunList({{1, 100, false}}), FiveGibibytes), LargeRecord);
  test::SparseVolume volume = test::BuildSparseVolume(spec);
  observer_.OnFileFound = [&](const FoundFile&) { observer_.StopFlag = true; };

  Scan(volume);

  ASSERT_EQ(observer_.Files.size(), 1u);
  EXPECT_EQ(observer_.Files[0].RecordIndex, FarIndex);
  EXPECT_EQ(observer_.Files[0].Data.RecordOffset,
            static_cast<int64_t>(FiveGibibytes + uint64_t{FarIndex} * LargeRecord));
  EXPECT_EQ(observer_.Files[0].Data.FileSize, static_cast<int64_t>(FiveGibibytes));
}

}  // namespace
}  // namespace salvoran

namespace salvoran {
namespace {

// A volume of 2 MiB whose boot sector and MFT record claim an MFT of ClaimedMftClusters
// clusters, almost 2^31 records: only the first MFT run's 16 KiB exist.
class ClaimedMftTest : public DeletedFileScanTest {
 protected:
  static constexpr uint64_t ClaimedMftClusters = (uint64_t{1} << 29) - 1;

  Bytes ClaimingVolume() {
    VolumeSpec spec = ScanVolume(4 + 64);
    PlaceDeletedFile(spec, SampleIndex);
    Bytes volume = test::BuildVolume(spec);
    VolumeSpec claim = spec;
    claim.MftRuns = {{ClaimedMftClusters, MftCluster, false}};
    claim.TotalClusters = MftCluster + ClaimedMftClusters + 1;
    const Bytes boot = test::NtfsBootSector(claim);
    const Bytes recordZero = test::BuildRecord(test::MftRecordSpec(claim));
    std::copy(boot.begin(), boot.end(), volume.begin());
    std::copy(recordZero.begin(), recordZero.end(), volume.begin() + MftCluster * ClusterBytes);
    return volume;
  }
};

TEST_F(ClaimedMftTest, RecordsPastTheSourcesEndCountAsUnreadableWithoutBeingRead) {
  MemoryVolume memory(ClaimingVolume());
  test::WatchedVolume volume(memory);

  const ScanSummary summary = Scan(volume);

  const int32_t inSource = static_cast<int32_t>((memory.Size() - MftCluster * ClusterBytes) / RecordBytes);
  ASSERT_EQ(geometry_.RecordCount, static_cast<int32_t>(ClaimedMftClusters * ClusterBytes / RecordBytes));
  EXPECT_EQ(ListedIndexes(observer_), std::set<int32_t>{SampleIndex});
  EXPECT_EQ(summary.RecordsScanned, geometry_.RecordCount - FirstUserRecord);
  EXPECT_EQ(summary.UnreadableRecords, geometry_.RecordCount - inSource);
  EXPECT_FALSE(volume.Touched(memory.Size(), UINT64_MAX - memory.Size()));
  // One pass per record that exists, not per record claimed.
  EXPECT_LT(observer_.StopQueries, inSource);
}

TEST_F(ClaimedMftTest, AStopIsStillHonouredBeforeTheSourcesEnd) {
  MemoryVolume volume(ClaimingVolume());
  observer_.StopFlag = true;
  const ScanSummary summary = Scan(volume);
  EXPECT_TRUE(summary.Stopped);
  EXPECT_EQ(summary.RecordsScanned, 0);
  EXPECT_EQ(summary.UnreadableRecords, 0);
}

TEST_F(DeletedFileScanTest, AnMftCutInTheMiddleListsWhatLiesBeforeTheCut) {
  VolumeSpec spec = ScanVolume(16);
  PlaceDeletedFile(spec, SampleIndex);
  PlaceDeletedFile(spec, 50);
  Bytes whole = test::BuildVolume(spec);
  // The cut falls inside record 40, half-way through it.
  whole.resize(MftCluster * ClusterBytes + 40 * RecordBytes + RecordBytes / 2);
  MemoryVolume volume(whole);

  const ScanSummary summary = Scan(volume);

  EXPECT_EQ(ListedIndexes(observer_), std::set<int32_t>{SampleIndex});
  EXPECT_EQ(summary.RecordsScanned, 64 - FirstUserRecord);
  EXPECT_EQ(summary.UnreadableRecords, 64 - 40);
}

}  // namespace
}  // namespace salvoran
