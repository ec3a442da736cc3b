#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <set>
#include <string>
#include <vector>

#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "engine/OpeningPhase.h"
#include "recovery/ContentRecovery.h"
#include "recovery/RestoreStop.h"
#include "recovery/MemorySink.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::DeletedFileRecord;
using test::NonResidentDataAttribute;
using test::Pattern;
using test::VolumeSpec;

constexpr char TakenRecord[] = "Could not recovery the file you selected as the space already taken by another file!";
constexpr char NoData[] = "Error : Unable to get any DataType information";
constexpr char BadRecord[] = "Invalid File Record 1!";
constexpr char RunListError[] = "Failed to read run Data.";
constexpr char BeyondClusters[] = "The file's record is damaged: its size is larger than the clusters allocated to it.";
constexpr char Encrypted[] = "The file is encrypted: its content cannot be read without its owner's key.";
constexpr uint64_t ClusterBytes = 4096;
constexpr uint64_t RecordBytes = 1024;
constexpr uint64_t MftCluster = 64;
constexpr int32_t FileIndex = 20;
constexpr int64_t FileRecordOffset = MftCluster * ClusterBytes + FileIndex * RecordBytes;

Bytes Concatenate(std::initializer_list<Bytes> parts) {
  Bytes whole;
  for (const Bytes& part : parts) whole.insert(whole.end(), part.begin(), part.end());
  return whole;
}

Bytes Prefix(const Bytes& bytes, size_t count) { return Bytes(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(count)); }

class ContentRecoveryTest : public ::testing::Test {
 protected:
  ContentRecoveryTest() {
    spec_.TotalClusters = 1024;
    spec_.MftRuns = {{8, MftCluster, false}};
  }

  // A deleted file at record 20 whose content lies in clusters named by runs.
  void PlaceFile(const std::vector<DataRun>& runs, uint64_t dataSize) {
    PlaceFileWithData(NonResidentDataAttribute(test::EncodeRunList(runs), dataSize));
  }
  void PlaceFileWithData(Bytes dataAttribute) {
    spec_.Records[FileIndex] = DeletedFileRecord(u"file.bin", std::move(dataAttribute));
  }
  // Fills a cluster with bytes that say which cluster they came from.
  Bytes FillCluster(uint64_t cluster) {
    spec_.Clusters[cluster] = Pattern(ClusterBytes, static_cast<uint8_t>(cluster));
    return spec_.Clusters[cluster];
  }

  // Opens the volume as the scan does, then restores the record at recordOffset.
  void Recover(VolumeSource& volume, int64_t recordOffset = FileRecordOffset,
               OutputFile::ExistingTarget existing = OutputFile::ExistingTarget::Replace) {
    VolumeGeometry geometry;
    ReadVolumeGeometry(volume, geometry);
    RecoverFileContent(volume, geometry, recordOffset, target_, existing);
  }
  void Recover(int64_t recordOffset = FileRecordOffset) {
    MemoryVolume volume(test::BuildVolume(spec_));
    Recover(volume, recordOffset);
  }
  std::string RecoverError(int64_t recordOffset = FileRecordOffset) {
    return test::EngineErrorText([&] { Recover(recordOffset); });
  }
  std::string RecoverStreamError(std::u16string_view stream) {
    return test::EngineErrorText([&] {
      MemoryVolume volume(test::BuildVolume(spec_));
      VolumeGeometry geometry;
      ReadVolumeGeometry(volume, geometry);
      RecoverFileContent(volume, geometry, FileRecordOffset, target_, OutputFile::ExistingTarget::Keep, {}, stream);
    });
  }
  Bytes Restored() const { return test::ReadWholeFile(target_); }

  std::set<std::string> FolderEntries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_.Path())) names.insert(entry.path().filename().string());
    return names;
  }

  VolumeSpec spec_;
  test::TempDir folder_;
  fs::path target_ = folder_.Path() / "restored.bin";
};

TEST_F(ContentRecoveryTest, WritesExactlyTheDataSizeFromTheClustersOfEachRun) {
  const Bytes first = FillCluster(300), second = FillCluster(200), third = FillCluster(400);
  PlaceFile({{1, 300, false}, {1, 200, false}, {1, 400, false}}, 10'000);

  Recover();

  EXPECT_EQ(Restored(), Prefix(Concatenate({first, second, third}), 10'000));
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"restored.bin"});
}

TEST_F(ContentRecoveryTest, ReadsAMultiClusterRunWhole) {
  const Bytes a = FillCluster(500), b = FillCluster(501), c = FillCluster(502);
  PlaceFile({{3, 500, false}}, 3 * ClusterBytes - 5);
  Recover();
  EXPECT_EQ(Restored(), Prefix(Concatenate({a, b, c}), 3 * ClusterBytes - 5));
}

// The VCN range covers the size; its runs stop short of it.
TEST_F(ContentRecoveryTest, FillsWithZerosWhereTheRunsEndBeforeTheDataSize) {
  const Bytes content = FillCluster(300);
  PlaceFileWithData(NonResidentDataAttribute(test::EncodeRunList({{1, 300, false}}), 10'000, 2));
  Recover();
  EXPECT_EQ(Restored(), Concatenate({content, Bytes(10'000 - ClusterBytes)}));
}

TEST_F(ContentRecoveryTest, WritesZerosForAHoleInTheMiddle) {
  const Bytes before = FillCluster(300), after = FillCluster(400);
  PlaceFile({{1, 300, false}, {2, 0, true}, {1, 400, false}}, 4 * ClusterBytes);
  Recover();
  EXPECT_EQ(Restored(), Concatenate({before, Bytes(2 * ClusterBytes), after}));
}

TEST_F(ContentRecoveryTest, WritesZerosForAHoleAtTheEnd) {
  const Bytes content = FillCluster(300);
  PlaceFile({{1, 300, false}, {3, 0, true}}, 4 * ClusterBytes - 100);
  Recover();
  EXPECT_EQ(Restored(), Concatenate({content, Bytes(3 * ClusterBytes - 100)}));
}

TEST_F(ContentRecoveryTest, WritesResidentContent) {
  const Bytes content = Pattern(600, 7);
  PlaceFileWithData(test::ResidentDataAttribute(content));
  Recover();
  EXPECT_EQ(Restored(), content);
}

TEST_F(ContentRecoveryTest, EmptyResidentContentGivesAnEmptyFile) {
  PlaceFileWithData(test::ResidentDataAttribute({}));
  Recover();
  ASSERT_TRUE(fs::exists(target_));
  EXPECT_EQ(fs::file_size(target_), 0u);
}

TEST_F(ContentRecoveryTest, AnEmptyRunListOfAnEmptyFileGivesAnEmptyFile) {
  PlaceFile({}, 0);
  Recover();
  ASSERT_TRUE(fs::exists(target_));
  EXPECT_EQ(fs::file_size(target_), 0u);
}

// Larger than the bounded copy buffer, so the copy goes in several pieces.
TEST_F(ContentRecoveryTest, CopiesARunLargerThanTheCopyBuffer) {
  constexpr uint64_t RunClusters = 4400;  // 17.2 MiB
  constexpr uint64_t DataSize = RunClusters * ClusterBytes - 1234;
  spec_.TotalClusters = 5000;
  const Bytes content = Pattern(RunClusters * ClusterBytes, 0x5A);
  spec_.Clusters[500] = content;
  PlaceFile({{RunClusters, 500, false}}, DataSize);
  Recover();
  EXPECT_TRUE(Restored() == Prefix(content, DataSize));
}

// A hole no file can have must not wrap around to a short one and pull later clusters forward.
TEST_F(ContentRecoveryTest, AHoleLongerThanAnyFileCoversTheRestOfTheData) {
  FillCluster(300);
  PlaceFile({{uint64_t{1} << 52, 0, true}, {1, 300, false}}, 2 * ClusterBytes);
  Recover();
  EXPECT_EQ(Restored(), Bytes(2 * ClusterBytes));
}

// With a sector count no volume can have, a cluster's byte offset must not wrap around to
// another cluster and restore its content as the file's.
TEST_F(ContentRecoveryTest, ARunWhoseByteOffsetWouldWrapIsRefused) {
  FillCluster(300);
  PlaceFile({{1, (uint64_t{1} << 52) + 300, false}}, ClusterBytes);
  Bytes image = test::BuildVolume(spec_);
  test::PutLE(image, 0x28, UINT64_MAX, 8);  // total sectors
  MemoryVolume volume(std::move(image));

  EXPECT_EQ(test::EngineErrorText([&] { Recover(volume); }), RunListError);
  EXPECT_TRUE(FolderEntries().empty());
}

class TakenRecordTest : public ContentRecoveryTest, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(TakenRecordTest, RefusesARecordInUseOrADirectory) {
  test::RecordSpec record = test::DeletedFileSpec(u"file.bin", test::ResidentDataAttribute(Pattern(10, 1)));
  record.Flags = GetParam();
  spec_.Records[FileIndex] = test::BuildRecord(record);
  EXPECT_EQ(RecoverError(), TakenRecord);
  EXPECT_TRUE(FolderEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(Flags, TakenRecordTest, ::testing::Values(1, 2, 3));

TEST_F(ContentRecoveryTest, RefusesARecordWithoutData) {
  test::RecordSpec record = test::DeletedFileSpec(u"file.bin", {});
  record.Attributes.pop_back();
  spec_.Records[FileIndex] = test::BuildRecord(record);
  EXPECT_EQ(RecoverError(), NoData);
}

class NotARecordTest : public ContentRecoveryTest, public ::testing::WithParamInterface<int64_t> {};

TEST_P(NotARecordTest, RefusesAnOffsetWhereNoRecordLies) {
  PlaceFile({{1, 300, false}}, 100);
  EXPECT_EQ(RecoverError(GetParam()), BadRecord);
  EXPECT_TRUE(FolderEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(Offsets, NotARecordTest,
                         ::testing::Values(0,                              // the boot sector
                                           1024 * ClusterBytes,            // the volume's end
                                           1024 * ClusterBytes - 512,      // half a record before it
                                           int64_t{1} << 40, -1024, INT64_MIN,
                                           FileRecordOffset + 1024));      // a zero record

TEST_F(ContentRecoveryTest, RefusesARunListOffsetAtOrPastTheAttributesEnd) {
  Bytes data = NonResidentDataAttribute(test::EncodeRunList({{1, 300, false}}), 100);
  for (uint64_t offset : {data.size(), data.size() + 8}) {
    test::PutLE(data, 0x20, offset, 2);
    PlaceFileWithData(data);
    EXPECT_EQ(RecoverError(), RunListError) << "offset " << offset;
  }
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(ContentRecoveryTest, ARunBeyondTheVolumeCreatesNoFileAndKeepsAnExistingOne) {
  PlaceFile({{1, 300, false}, {4, 1022, false}}, 5 * ClusterBytes);
  test::WriteImage(target_, test::ToBytes("earlier restore"));

  EXPECT_EQ(RecoverError(), RunListError);

  EXPECT_EQ(Restored(), test::ToBytes("earlier restore"));
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"restored.bin"});
}

// The boot sector promises clusters the image does not hold.
TEST_F(ContentRecoveryTest, ARunPastTheEndOfATruncatedImageFails) {
  FillCluster(300);
  PlaceFile({{1, 300, false}, {2, 900, false}}, 3 * ClusterBytes);
  Bytes image = test::BuildVolume(spec_);
  image.resize(901 * ClusterBytes);
  MemoryVolume volume(std::move(image));

  EXPECT_EQ(test::EngineErrorText([&] { Recover(volume); }),
            std::string(RunListError) + " Bytes 8192 to 12287 of the file could not be read from the source.");
  EXPECT_TRUE(FolderEntries().empty());
}

// One unreadable sector in the second cluster: the failure names just its bytes of the file.
TEST_F(ContentRecoveryTest, AReadErrorInARunFailsInsteadOfWritingWhatWasRead) {
  FillCluster(300);
  FillCluster(301);
  PlaceFile({{2, 300, false}}, 2 * ClusterBytes);
  MemoryVolume memory(test::BuildVolume(spec_));
  test::WatchedVolume volume(memory);
  volume.FailStretch(301 * ClusterBytes + 512, 512);
  test::WriteImage(target_, test::ToBytes("earlier restore"));

  EXPECT_EQ(test::EngineErrorText([&] { Recover(volume); }),
            std::string(RunListError) + " Bytes 4608 to 5119 of the file could not be read from the source.");

  EXPECT_EQ(Restored(), test::ToBytes("earlier restore"));
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"restored.bin"});
}

// Keeping going, the unreadable sectors come back as zeros, each stretch listed once, and the
// rest of the file as it is.
TEST_F(ContentRecoveryTest, AKeptGoingRestoreHasZerosWhereTheSourceFailedAndListsThem) {
  const Bytes clusters = Concatenate({FillCluster(300), FillCluster(301), FillCluster(302)});
  PlaceFile({{3, 300, false}}, 3 * ClusterBytes - 10);
  MemoryVolume memory(test::BuildVolume(spec_));
  test::WatchedVolume volume(memory);
  volume.FailStretch(300 * ClusterBytes + 1024, 1536);  // three sectors of the first cluster
  volume.FailStretch(302 * ClusterBytes + 3584, 1024);  // the last sector, and past the file's end
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);
  std::vector<ByteRange> unreadable;

  RecoverFileContent(volume, geometry, FileRecordOffset, target_, OutputFile::ExistingTarget::Replace, {}, {},
                     &unreadable);

  Bytes expected = Prefix(clusters, 3 * ClusterBytes - 10);
  std::fill(expected.begin() + 1024, expected.begin() + 2560, std::byte{0});
  std::fill(expected.begin() + 2 * ClusterBytes + 3584, expected.end(), std::byte{0});
  EXPECT_EQ(Restored(), expected);
  EXPECT_EQ(unreadable, (std::vector<ByteRange>{{1024, 1536}, {2 * ClusterBytes + 3584, 512 - 10}}));
}

// A file that is all hole writes nothing: a stop asked for must still end it, as a hostile
// record can make it 2^46 compression units of hole.
TEST_F(ContentRecoveryTest, AStopRequestEndsARestoreThatIsAllHole) {
  PlaceFile({{uint64_t{1} << 30, 0, true}}, uint64_t{1} << 40);
  RequestRestoreStop();
  EXPECT_THROW(Recover(), RestoreStopped);
  ClearRestoreStopRequest();
  EXPECT_TRUE(FolderEntries().empty());
}

TEST_F(ContentRecoveryTest, ATargetInAMissingFolderCannotBeCreated) {
  PlaceFileWithData(test::ResidentDataAttribute(Pattern(10, 1)));
  target_ = folder_.Path() / "missing" / "restored.bin";
  EXPECT_EQ(RecoverError(), "Cannot create file \"" + target_.string() + "\". No such file or directory");
}

TEST_F(ContentRecoveryTest, KeepNeverReplacesAnExistingFile) {
  FillCluster(300);
  PlaceFile({{1, 300, false}}, 100);
  test::WriteImage(target_, test::ToBytes("already here"));
  MemoryVolume volume(test::BuildVolume(spec_));

  EXPECT_THROW(Recover(volume, FileRecordOffset, OutputFile::ExistingTarget::Keep), EngineError);

  EXPECT_EQ(Restored(), test::ToBytes("already here"));
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"restored.bin"});
}

TEST_F(ContentRecoveryTest, ReplaceOverwritesAnExistingFile) {
  const Bytes content = FillCluster(300);
  PlaceFile({{1, 300, false}}, 100);
  test::WriteImage(target_, Bytes(5000, std::byte{0xEE}));
  Recover();
  EXPECT_EQ(Restored(), Prefix(content, 100));
  EXPECT_EQ(FolderEntries(), std::set<std::string>{"restored.bin"});
}

TEST_F(ContentRecoveryTest, RestoresARecordThatStraddlesTwoMftRuns) {
  spec_.BytesPerCluster = 512;
  spec_.TotalClusters = 2048;
  // 37 clusters of 512 bytes end halfway through record 18.
  spec_.MftRuns = {{37, MftCluster, false}, {40, 500, false}};
  const Bytes content = Pattern(512, 3);
  spec_.Clusters[1500] = content;
  // A long name pushes $DATA into the half of the record that lies in the second run.
  spec_.Records[18] = DeletedFileRecord(std::u16string(200, u'x') + u".bin",
                                        NonResidentDataAttribute(test::EncodeRunList({{1, 1500, false}}), 512));

  Recover(static_cast<int64_t>(MftCluster * 512 + 18 * RecordBytes));

  EXPECT_EQ(Restored(), content);
}

TEST_F(ContentRecoveryTest, RestoresFromBeyondFourGibibytes) {
  constexpr uint64_t FarMftCluster = 0x140000;  // 5 GiB
  constexpr uint64_t FarDataCluster = 0x180000;  // 6 GiB
  spec_.TotalClusters = FarDataCluster + 16;
  spec_.MftRuns = {{8, FarMftCluster, false}};
  const Bytes first = Pattern(ClusterBytes, 1), second = Pattern(ClusterBytes, 2);
  spec_.Clusters[FarDataCluster] = first;
  spec_.Clusters[FarDataCluster + 2] = second;
  PlaceFile({{1, FarDataCluster, false}, {1, FarDataCluster + 2, false}}, 2 * ClusterBytes);
  test::SparseVolume volume = test::BuildSparseVolume(spec_);

  Recover(volume, static_cast<int64_t>(FarMftCluster * ClusterBytes + FileIndex * RecordBytes));

  EXPECT_EQ(Restored(), Concatenate({first, second}));
}

struct DamagedSize {
  const char* Description;
  uint64_t DataSize;
  uint64_t AllocatedSize;
  uint64_t LastVcn;
};

class DamagedSizeTest : public ContentRecoveryTest, public ::testing::WithParamInterface<DamagedSize> {};

// Nothing of such a size is allocated: the file is refused before it is created.
TEST_P(DamagedSizeTest, ASizeLargerThanTheClustersIsRefused) {
  Bytes data = NonResidentDataAttribute(test::EncodeRunList({{3, 300, false}}), GetParam().DataSize, GetParam().LastVcn);
  test::PutLE(data, 0x28, GetParam().AllocatedSize, 8);
  PlaceFileWithData(data);
  EXPECT_EQ(RecoverError(), BeyondClusters);
  EXPECT_TRUE(FolderEntries().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, DamagedSizeTest,
    ::testing::Values(DamagedSize{"PastTheAllocatedSize", 3 * ClusterBytes, 2 * ClusterBytes, 2},
                      DamagedSize{"PastTheVcnRange", 3 * ClusterBytes, 3 * ClusterBytes, 1},
                      DamagedSize{"OfAnExabyte", uint64_t{1} << 62, uint64_t{1} << 62, 2}),
    [](const auto& info) { return std::string(info.param.Description); });

TEST_F(ContentRecoveryTest, DataThatStartsPastVcnZeroIsRefused) {
  PlaceFileWithData(test::LaterPiece(NonResidentDataAttribute(test::EncodeRunList({{1, 300, false}}), 100), 2, 2));
  EXPECT_EQ(RecoverError(), "The file's record is damaged: the pieces of its data do not join up.");
}

TEST_F(ContentRecoveryTest, AnEncryptedFileIsRefused) {
  FillCluster(300);
  PlaceFile({{1, 300, false}}, 100);
  MemoryVolume volume(test::BuildVolume(spec_));
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);
  EXPECT_TRUE(DeletedFileReader(volume, geometry).Read(FileIndex)->Encrypted == false);

  PlaceFileWithData(NonResidentDataAttribute(test::EncodeRunList({{1, 300, false}}), 100, 0, 0x4000));
  EXPECT_EQ(RecoverError(), Encrypted);
  EXPECT_TRUE(FolderEntries().empty());
}

// Windows reads a file as zeros from its initialized size on, whatever its clusters hold.
TEST_F(ContentRecoveryTest, BytesPastTheInitializedSizeAreLeftAsAHole) {
  const Bytes clusters = Concatenate({FillCluster(300), FillCluster(301), FillCluster(302)});
  Bytes data = NonResidentDataAttribute(test::EncodeRunList({{3, 300, false}}), 3 * ClusterBytes);
  test::PutLE(data, 0x38, 5000, 8);
  PlaceFileWithData(data);
  MemoryVolume volume(test::BuildVolume(spec_));
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);

  struct : ContentSink {
    void Write(std::span<const std::byte> bytes) override { Written.insert(Written.end(), bytes.begin(), bytes.end()); }
    void Skip(uint64_t) override { ADD_FAILURE() << "no hole before the initialized size"; }
    void Commit(uint64_t length) override { Length = length; }
    Bytes Written;
    uint64_t Length = 0;
  } sink;
  RecoverFileContent(volume, geometry, FileRecordOffset, [&]() -> ContentSink& { return sink; });

  EXPECT_EQ(sink.Written, Prefix(clusters, 5000));
  EXPECT_EQ(sink.Length, 3 * ClusterBytes);
}

// A look at the start of a file (a preview) reads no cluster past the bytes asked for.
TEST_F(ContentRecoveryTest, ACutCopyReadsNoClusterPastItsEnd) {
  const Bytes content = Concatenate({FillCluster(500), FillCluster(501), FillCluster(502)});
  PlaceFile({{3, 500, false}}, 3 * ClusterBytes - 5);
  MemoryVolume memory(test::BuildVolume(spec_));
  test::WatchedVolume volume(memory);
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);

  MemorySink start;
  RecoverFileContent(volume, geometry, FileRecordOffset, [&]() -> ContentSink& { return start; }, {}, 5000);
  EXPECT_EQ(start.Bytes(), Prefix(content, 5000));
  MemorySink middle(ClusterBytes);
  RecoverFileContent(volume, geometry, FileRecordOffset, [&]() -> ContentSink& { return middle; }, {}, 5000);
  EXPECT_EQ(middle.Bytes(), Bytes(content.begin() + ClusterBytes, content.begin() + 5000));
  EXPECT_FALSE(volume.Touched(502 * ClusterBytes, ClusterBytes));

  MemorySink pastTheEnd;
  RecoverFileContent(volume, geometry, FileRecordOffset, [&]() -> ContentSink& { return pastTheEnd; }, {}, 1 << 20);
  EXPECT_EQ(pastTheEnd.Bytes(), Prefix(content, 3 * ClusterBytes - 5));
}

TEST_F(ContentRecoveryTest, ACutCopyKeepsHolesAndResidentContentInPlace) {
  const Bytes before = FillCluster(300), after = FillCluster(400);
  PlaceFile({{1, 300, false}, {2, 0, true}, {1, 400, false}}, 4 * ClusterBytes);
  MemoryVolume volume(test::BuildVolume(spec_));
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);
  MemorySink fromTheHole(ClusterBytes + 10);
  RecoverFileContent(volume, geometry, FileRecordOffset, [&]() -> ContentSink& { return fromTheHole; }, {},
                     3 * ClusterBytes + 20);
  EXPECT_EQ(fromTheHole.Bytes(), Concatenate({Bytes(2 * ClusterBytes - 10), Prefix(after, 20)}));

  const Bytes resident = Pattern(600, 7);
  PlaceFileWithData(test::ResidentDataAttribute(resident));
  MemoryVolume residentVolume(test::BuildVolume(spec_));
  MemorySink start;
  RecoverFileContent(residentVolume, geometry, FileRecordOffset, [&]() -> ContentSink& { return start; }, {}, 100);
  EXPECT_EQ(start.Bytes(), Prefix(resident, 100));
}

TEST_F(ContentRecoveryTest, RestoresTheUnnamedDataOrTheStreamAskedFor) {
  test::RecordSpec record = test::DeletedFileSpec(u"budget.pdf", test::ResidentDataAttribute(test::ToBytes("%PDF")));
  record.Attributes.insert(record.Attributes.begin() + 2,
                           test::NamedDataAttribute(u"Zone.Identifier", test::ToBytes("[ZoneTransfer]")));
  spec_.Records[FileIndex] = test::BuildRecord(record);

  Recover();
  EXPECT_EQ(Restored(), test::ToBytes("%PDF"));
  fs::remove(target_);
  EXPECT_EQ(RecoverStreamError(u"Zone.Identifier"), "(no error)");
  EXPECT_EQ(Restored(), test::ToBytes("[ZoneTransfer]"));
  fs::remove(target_);
  EXPECT_EQ(RecoverStreamError(u"Zone"), "The file has no stream of that name.");
  EXPECT_TRUE(FolderEntries().empty());
}

// The name is in the base record; the rest of the data lies in an extension record that a new
// file has taken since: the file is listed, its restore refused.
TEST_F(ContentRecoveryTest, AFileWhoseExtensionRecordWasTakenIsListedButNotRestored) {
  FillCluster(300);
  test::RecordSpec base = test::DeletedFileSpec(u"video.mp4", {});
  base.Attributes.back() =
      test::WithId(NonResidentDataAttribute(test::EncodeRunList({{1, 300, false}}), 2 * ClusterBytes, 0), 2);
  base.Attributes.insert(base.Attributes.begin() + 1,
                         test::AttributeListAttribute({{0x10, FileIndex, 0, 0}, {0x30, FileIndex, 0, 0},
                                                       {0x80, FileIndex, 2, 0}, {0x80, FileIndex + 1, 3, 1}}));
  spec_.Records[FileIndex] = test::BuildRecord(base);
  test::RecordSpec extension;
  extension.Flags = 1;
  extension.BaseRecord = FileIndex;
  extension.Attributes = {test::WithId(
      test::LaterPiece(NonResidentDataAttribute(test::EncodeRunList({{1, 301, false}}), 0), 1, 1), 3)};
  spec_.Records[FileIndex + 1] = test::BuildRecord(extension);
  MemoryVolume volume(test::BuildVolume(spec_));
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);

  const std::optional<FoundFile> listed = DeletedFileReader(volume, geometry).Read(FileIndex);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->Data.FileSize, static_cast<int64_t>(2 * ClusterBytes));
  EXPECT_EQ(test::EngineErrorText([&] { Recover(volume); }),
            "Part of the file's record has been taken by another file, so its content cannot be restored whole.");
  EXPECT_TRUE(FolderEntries().empty());
}

}  // namespace
}  // namespace salvoran
