#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "engine/DeletedFileScan.h"
#include "engine/EngineError.h"
#include "engine/OpeningPhase.h"
#include "engine/SystemError.h"
#include "engine/VolumeRepair.h"
#include "support/Diagnostics.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"

namespace salvoran {
namespace {

using test::Bytes;
using test::EngineErrorText;
using test::PutLE;
using test::VolumeSpec;

constexpr char NotNtfs[] = "The current version only support NTFS drive!";
constexpr char InvalidMft[] = "Invalid MFT record!";
constexpr char UnsupportedMft[] = "The current version does not support sparse, encrypted and compressed MFT";
constexpr char ReadFailurePrefix[] = "Fail to read data from drive:";
constexpr char OpenFailurePrefix[] = "Fail to open the driver to scan: ";
constexpr uint64_t ClusterBytes = 4096;
constexpr size_t DataAttributeIndex = 2;  // in MftRecordSpec
constexpr uint16_t RecordInUseFlag = 1;

VolumeSpec SmallVolume() {
  VolumeSpec spec;
  spec.TotalClusters = 512;
  spec.MftRuns = {{8, 64, false}};
  return spec;
}

class OpeningPhaseTest : public ::testing::Test {
 protected:
  VolumeGeometry Open(const Bytes& bytes) {
    MemoryVolume volume(bytes);
    VolumeGeometry geometry;
    ReadVolumeGeometry(volume, geometry);
    return geometry;
  }

  std::string OpenError(const Bytes& bytes) {
    return EngineErrorText([&] { Open(bytes); });
  }

  // The volume with record 0 rebuilt from an edited copy of the one BuildVolume writes.
  Bytes WithMftRecord(const test::RecordSpec& record) {
    VolumeSpec spec = spec_;
    spec.Records[0] = test::BuildRecord(record);
    return test::BuildVolume(spec);
  }

  VolumeSpec spec_ = SmallVolume();
};

class ForeignBootSectorTest : public OpeningPhaseTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(ForeignBootSectorTest, RefusesAVolumeThatIsNotNtfs) {
  Bytes volume = test::BuildVolume(spec_);
  std::memcpy(volume.data() + 3, GetParam().data(), 8);
  EXPECT_EQ(OpenError(volume), NotNtfs);
}

INSTANTIATE_TEST_SUITE_P(OemNames, ForeignBootSectorTest,
                         ::testing::Values(std::string("MSDOS5.0"), std::string("mkfs.fat"), std::string("EXFAT   "),
                                           std::string("ntfs    "), std::string(8, '\0')));

TEST_F(OpeningPhaseTest, RefusesAFat32BootSector) {
  Bytes volume(64 * 1024);
  const Bytes fat = test::ToBytes("\xEB\x58\x90MSDOS5.0");
  std::copy(fat.begin(), fat.end(), volume.begin());
  PutLE(volume, 0x0B, 512, 2);
  PutLE(volume, 0x0D, 8, 1);
  const Bytes fatType = test::ToBytes("FAT32   ");
  std::copy(fatType.begin(), fatType.end(), volume.begin() + 0x52);
  PutLE(volume, 0x1FE, 0xAA55, 2);
  EXPECT_EQ(OpenError(volume), NotNtfs);
}

TEST_F(OpeningPhaseTest, AVolumeShorterThanABootSectorCannotBeRead) {
  const Bytes full = test::BuildVolume(spec_);
  for (size_t size : {0, 1, 100, 511}) {
    const std::string error = OpenError(Bytes(full.begin(), full.begin() + static_cast<ptrdiff_t>(size)));
    EXPECT_EQ(error.rfind(ReadFailurePrefix, 0), 0u) << size << ": " << error;
  }
}

TEST_F(OpeningPhaseTest, AFailedBootSectorReadNamesTheSystemError) {
  MemoryVolume memory(test::BuildVolume(spec_));
  test::WatchedVolume volume(memory);
  volume.FailStretch(100, 1);
  VolumeGeometry geometry;
  EXPECT_EQ(EngineErrorText([&] { ReadVolumeGeometry(volume, geometry); }),
            ReadFailurePrefix + SystemErrorText(EIO));
}

TEST_F(OpeningPhaseTest, ScanDriveWithoutADriveCannotOpenIt) {
  test::CollectingObserver observer;
  for (const std::string path : {"", "/nonexistent-salvoran-test/volume.img"}) {
    VolumeGeometry geometry;
    EXPECT_EQ(EngineErrorText([&] { ScanDrive(path, geometry, observer); }),
              "Fail to open the driver to scan: No such file or directory")
        << '"' << path << '"';
  }
  EXPECT_EQ(observer.StartedRecordCount, -1);
}

TEST_F(OpeningPhaseTest, ScanDriveOnADirectoryCannotOpenIt) {
  test::TempDir folder;
  test::CollectingObserver observer;
  VolumeGeometry geometry;
  const std::string error = EngineErrorText([&] { ScanDrive(folder.Path().string(), geometry, observer); });
  EXPECT_EQ(error.rfind(OpenFailurePrefix, 0), 0u) << error;
}

TEST_F(OpeningPhaseTest, ScanDriveReadsTheImageFileItIsGiven) {
  test::TempDir folder;
  const auto image = folder.Path() / "volume.img";
  test::WriteImage(image, test::BuildVolume(spec_));
  test::CollectingObserver observer;
  VolumeGeometry geometry;
  ScanDrive(image.string(), geometry, observer);
  EXPECT_EQ(geometry.DrivePath, image.string());
  EXPECT_EQ(geometry.RecordCount, 32);
  EXPECT_EQ(observer.StartedRecordCount, 32);
}

TEST_F(OpeningPhaseTest, ReadsTheGeometryOfTheBootSector) {
  const VolumeGeometry geometry = Open(test::BuildVolume(spec_));
  EXPECT_EQ(geometry.BytesPerSector, 512);
  EXPECT_EQ(geometry.SectorsPerCluster, 8u);
  EXPECT_EQ(geometry.BytesPerCluster, 4096u);
  EXPECT_EQ(geometry.FileRecordSize, 1024u);
  EXPECT_EQ(geometry.TotalClusters, 512u);
  EXPECT_EQ(geometry.MftOffset, static_cast<int64_t>(64 * ClusterBytes));
  EXPECT_EQ(geometry.MftClusterCount, 8);
  EXPECT_EQ(geometry.RecordCount, 32);
}

TEST_F(OpeningPhaseTest, WritesRecordSizeAndRecordCountToTheDiagnosticsOnlyWhenTraceIsOn) {
  spec_.MftRuns = {{256, 64, false}};
  const Bytes volume = test::BuildVolume(spec_);
  testing::internal::CaptureStderr();
  Open(volume);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

  EnableDebugTrace(true);
  testing::internal::CaptureStderr();
  Open(volume);
  const std::string diagnostics = testing::internal::GetCapturedStderr();
  EnableDebugTrace(false);
  EXPECT_NE(diagnostics.find("Corvath:File Record:1024\n"), std::string::npos) << diagnostics;
  EXPECT_NE(diagnostics.find("Corvath:Total Recouds:1024\n"), std::string::npos) << diagnostics;
}

TEST_F(OpeningPhaseTest, RefusesAnMftRecordThatFailsItsFixups) {
  test::RecordSpec record = test::MftRecordSpec(spec_);
  Bytes volume = WithMftRecord(record);
  // Tear the first stride: both bytes differ from the sequence number.
  const size_t strideEnd = 64 * ClusterBytes + 510;
  PutLE(volume, strideEnd, 0xEEEE, 2);
  EXPECT_EQ(OpenError(volume), InvalidMft);
}

TEST_F(OpeningPhaseTest, RefusesAnMftRecordWithoutSignature) {
  Bytes volume = test::BuildVolume(spec_);
  std::memcpy(volume.data() + 64 * ClusterBytes, "BAAD", 4);
  EXPECT_EQ(OpenError(volume), InvalidMft);
}

TEST_F(OpeningPhaseTest, RefusesAnMftClusterPastTheVolumesEnd) {
  Bytes volume = test::BuildVolume(spec_);
  PutLE(volume, 0x30, 100'000, 8);
  EXPECT_EQ(OpenError(volume), InvalidMft);
}

class MftDataFlagsTest : public OpeningPhaseTest, public ::testing::WithParamInterface<uint16_t> {};

TEST_P(MftDataFlagsTest, RefusesACompressedEncryptedOrSparseMft) {
  EXPECT_EQ(OpenError(WithMftRecord(test::MftRecordSpec(spec_, GetParam()))), UnsupportedMft);
}

INSTANTIATE_TEST_SUITE_P(Flags, MftDataFlagsTest, ::testing::Values(0x8000, 0x4000, 0x0001));

class AcceptedMftDataFlagsTest : public OpeningPhaseTest, public ::testing::WithParamInterface<uint16_t> {};

// Only the three single flags are refused, as the message has always been given.
TEST_P(AcceptedMftDataFlagsTest, OpensAnMftWithOtherFlagCombinations) {
  EXPECT_EQ(Open(WithMftRecord(test::MftRecordSpec(spec_, GetParam()))).RecordCount, 32);
}

INSTANTIATE_TEST_SUITE_P(Flags, AcceptedMftDataFlagsTest, ::testing::Values(0x0000, 0x4001));

TEST_F(OpeningPhaseTest, RefusesAnMftRecordWithoutNonResidentData) {
  test::RecordSpec residentData = test::MftRecordSpec(spec_);
  residentData.Attributes[DataAttributeIndex] = test::ResidentDataAttribute(Bytes(64));
  EXPECT_THROW(Open(WithMftRecord(residentData)), EngineError);

  test::RecordSpec noData = test::MftRecordSpec(spec_);
  noData.Attributes.pop_back();
  EXPECT_THROW(Open(WithMftRecord(noData)), EngineError);
}

struct MftSize {
  uint32_t BytesPerCluster;
  uint64_t MftClusters;
  int32_t RecordCount;
};

class RecordCountTest : public OpeningPhaseTest, public ::testing::WithParamInterface<MftSize> {};

// The count comes from the VCN range (last - first + 1) when the data fills it: the last
// cluster's records count too.
TEST_P(RecordCountTest, CountsTheRecordsOfEveryMftCluster) {
  spec_.BytesPerCluster = GetParam().BytesPerCluster;
  spec_.TotalClusters = 4096;
  spec_.MftRuns = {{GetParam().MftClusters, 64, false}};
  EXPECT_EQ(Open(test::BuildVolume(spec_)).RecordCount, GetParam().RecordCount);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RecordCountTest,
                         ::testing::Values(MftSize{4096, 256, 1024}, MftSize{4096, 1, 4}, MftSize{512, 255, 127},
                                           MftSize{512, 2, 1}, MftSize{1024, 1000, 1000}));

// Windows XP allocates the MFT ahead: 64 slots where 52 records exist.
TEST_F(OpeningPhaseTest, CountsOnlyTheRecordsOfTheMftsData) {
  test::RecordSpec record = test::MftRecordSpec(spec_);
  PutLE(record.Attributes[DataAttributeIndex], 0x30, 13 * 1024, 8);
  PutLE(record.Attributes[DataAttributeIndex], 0x38, 13 * 1024, 8);
  EXPECT_EQ(Open(WithMftRecord(record)).RecordCount, 13);
}

// A heavily fragmented MFT keeps the rest of its runs in extension records of record 0, which
// lie in the part its own runs map.
TEST_F(OpeningPhaseTest, MapsTheMftPiecesThatRecordZerosExtensionRecordsHold) {
  spec_.MftRuns = {{4, 64, false}, {4, 300, false}};
  constexpr uint16_t FirstPieceId = 2, SecondPieceId = 5;
  constexpr int32_t ExtensionIndex = 12;
  test::RecordSpec record = test::MftRecordSpec(spec_);
  record.Attributes[DataAttributeIndex] = test::WithId(
      test::NonResidentDataAttribute(test::EncodeRunList({spec_.MftRuns[0]}), 8 * ClusterBytes, 3), FirstPieceId);
  record.Attributes.insert(record.Attributes.begin() + 1,
                           test::AttributeListAttribute({{0x10, 0, 0, 0},
                                                         {0x30, 0, 0, 0},
                                                         {0x80, 0, FirstPieceId, 0},
                                                         {0x80, ExtensionIndex, SecondPieceId, 4}}));
  spec_.Records[0] = test::BuildRecord(record);
  test::RecordSpec extension;
  extension.Flags = RecordInUseFlag;
  extension.Attributes = {test::WithId(
      test::LaterPiece(test::NonResidentDataAttribute(test::EncodeRunList({spec_.MftRuns[1]}), 0), 4, 7),
      SecondPieceId)};
  spec_.Records[ExtensionIndex] = test::BuildRecord(extension);
  spec_.Records[20] = test::DeletedFileRecord(u"late.txt", test::ResidentDataAttribute(test::ToBytes("late")));

  MemoryVolume volume(test::BuildVolume(spec_));
  VolumeGeometry geometry;
  test::CollectingObserver observer;
  ScanOpenVolume(volume, geometry, observer);

  EXPECT_EQ(geometry.RecordCount, 32);
  EXPECT_EQ(geometry.Mft.VolumeOffsetOf(20 * 1024), 301 * ClusterBytes);
  EXPECT_TRUE(observer.Listed(20));
}

// $MFT's own list of many one-cluster pieces, each in a record that only the piece before maps:
// the map grows as the list is read, and each extension record is read once, not once for every
// piece mapped before it.
TEST_F(OpeningPhaseTest, MapsAnMftOfManyListedPiecesReadingEachExtensionRecordOnce) {
  constexpr uint32_t Pieces = 64;
  constexpr uint32_t PieceBytes = 2048;
  MemoryVolume memory(test::BuildVolume(test::MftInListedPieces(Pieces, PieceBytes)));
  test::WatchedVolume volume(memory);
  VolumeGeometry geometry;
  ReadVolumeGeometry(volume, geometry);

  EXPECT_EQ(geometry.RecordCount, static_cast<int32_t>(Pieces * PieceBytes / 1024));
  EXPECT_EQ(geometry.Mft.CoveredBytes(), uint64_t{Pieces} * PieceBytes);
  EXPECT_EQ(geometry.Mft.VolumeOffsetOf((Pieces - 1) * PieceBytes), (4 + Pieces - 1) * PieceBytes);
  const auto recordReads = std::count_if(volume.Reads().begin(), volume.Reads().end(),
                                         [](const test::WatchedVolume::Read& read) { return read.Length == 1024; });
  // The first records are read once more, and their mirror's copies where they fail, for the check.
  EXPECT_LE(recordReads, Pieces + 2 * MirroredRecords) << "record 0, then each extension record once";
}

TEST_F(OpeningPhaseTest, MapsTheMftAcrossSeveralRuns) {
  spec_.MftRuns = {{4, 64, false}, {4, 300, false}, {8, 150, false}};
  const VolumeGeometry geometry = Open(test::BuildVolume(spec_));

  EXPECT_EQ(geometry.MftOffset, static_cast<int64_t>(64 * ClusterBytes));
  EXPECT_EQ(geometry.RecordCount, 64);
  EXPECT_EQ(geometry.Mft.VolumeOffsetOf(15 * 1024), 64 * ClusterBytes + 15 * 1024);
  EXPECT_EQ(geometry.Mft.VolumeOffsetOf(16 * 1024), 300 * ClusterBytes);
  EXPECT_EQ(geometry.Mft.VolumeOffsetOf(40 * 1024), 152 * ClusterBytes);
  EXPECT_EQ(geometry.Mft.VolumeOffsetOf(64 * 1024), std::nullopt);
  EXPECT_EQ(geometry.Mft.MftByteAt(152 * ClusterBytes), 40 * 1024u);
}

TEST_F(OpeningPhaseTest, RefusesMftRunsThatCoverLessThanTheVcnRange) {
  test::RecordSpec record = test::MftRecordSpec(spec_);
  // Claims 16 clusters; the runs hold 8.
  PutLE(record.Attributes[DataAttributeIndex], 0x18, 15, 8);
  EXPECT_EQ(OpenError(WithMftRecord(record)), InvalidMft);
}

TEST_F(OpeningPhaseTest, RefusesMftRunsOutsideTheVolume) {
  test::RecordSpec record = test::MftRecordSpec(spec_);
  record.Attributes[DataAttributeIndex] =
      test::NonResidentDataAttribute(test::EncodeRunList({{8, 510, false}}), 8 * ClusterBytes, 7);
  EXPECT_EQ(OpenError(WithMftRecord(record)), InvalidMft);
}

TEST_F(OpeningPhaseTest, RefusesASparseMft) {
  test::RecordSpec record = test::MftRecordSpec(spec_);
  record.Attributes[DataAttributeIndex] =
      test::NonResidentDataAttribute(test::EncodeRunList({{4, 64, false}, {4, 0, true}}), 8 * ClusterBytes, 7);
  EXPECT_EQ(OpenError(WithMftRecord(record)), InvalidMft);
}

TEST_F(OpeningPhaseTest, RefusesAVcnRangeLargerThanTheVolume) {
  test::RecordSpec record = test::MftRecordSpec(spec_);
  PutLE(record.Attributes[DataAttributeIndex], 0x18, UINT64_MAX, 8);
  EXPECT_EQ(OpenError(WithMftRecord(record)), InvalidMft);
  PutLE(record.Attributes[DataAttributeIndex], 0x10, 9, 8);  // first VCN after the last
  PutLE(record.Attributes[DataAttributeIndex], 0x18, 8, 8);
  EXPECT_EQ(OpenError(WithMftRecord(record)), InvalidMft);
}

}  // namespace
}  // namespace salvoran
