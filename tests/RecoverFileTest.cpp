#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>

#include "support/Diagnostics.h"
#include "support/StringTable.h"
#include "engine/DeletedFileScan.h"
#include "engine/FileRecord.h"
#include "engine/SystemError.h"
#include "recovery/RecoverFile.h"
#include "tests/support/CraftedVolume.h"
#include "tests/support/TempDir.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::DeletedFileRecord;
using test::Pattern;
using test::VolumeSpec;

constexpr char Prefix[] = "For some reason, the file you selected can not be recovied!";
constexpr uint64_t ClusterBytes = 4096;
constexpr int32_t GoodIndex = 16;
constexpr int32_t TakenIndex = 17;
constexpr int32_t LostIndex = 18;

// A volume image on disk holding the deleted files "good.bin" (two runs), "taken.bin" (a record
// in use, so never listed) and "lost.bin" (a run past the volume).
class RecoverFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    VolumeSpec spec;
    spec.TotalClusters = 512;
    spec.MftRuns = {{8, 64, false}};
    spec.Clusters[300] = Pattern(ClusterBytes, 1);
    spec.Clusters[200] = Pattern(ClusterBytes, 2);
    goodContent_ = spec.Clusters[300];
    goodContent_.insert(goodContent_.end(), spec.Clusters[200].begin(), spec.Clusters[200].begin() + 1000);
    spec.Records[GoodIndex] = DeletedFileRecord(
        u"good.bin", test::NonResidentDataAttribute(test::EncodeRunList({{1, 300, false}, {1, 200, false}}), 5096));
    test::RecordSpec taken = test::DeletedFileSpec(u"taken.bin", test::ResidentDataAttribute(Pattern(10, 1)));
    taken.Flags = RecordInUse;
    spec.Records[TakenIndex] = test::BuildRecord(taken);
    spec.Records[LostIndex] = DeletedFileRecord(
        u"lost.bin", test::NonResidentDataAttribute(test::EncodeRunList({{8, 510, false}}), 8 * ClusterBytes));
    imageBytes_ = test::BuildVolume(spec);
    test::WriteImage(image_, imageBytes_);

    test::CollectingObserver observer;
    ScanDrive(image_.string(), geometry_, observer);
    ASSERT_NE(observer.Find(u"good.bin"), nullptr);
    goodOffset_ = observer.Find(u"good.bin")->Data.RecordOffset;
  }

  static int64_t OffsetOf(int32_t index) { return static_cast<int64_t>(64 * ClusterBytes + index * 1024); }

  std::set<std::string> OutputEntries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(output_)) names.insert(entry.path().filename().string());
    return names;
  }

  test::TempDir folder_;
  fs::path image_ = folder_.Path() / "volume.img";
  fs::path output_ = [this] {
    fs::create_directory(folder_.Path() / "out");
    return folder_.Path() / "out";
  }();
  Bytes imageBytes_;
  Bytes goodContent_;
  VolumeGeometry geometry_;
  int64_t goodOffset_ = 0;
};

TEST_F(RecoverFileTest, RestoresAListedFileFromTheScannedImage) {
  const fs::path target = output_ / "good.bin";
  EXPECT_EQ(TryRecoverFile(geometry_, target, goodOffset_), std::nullopt);
  EXPECT_EQ(test::ReadWholeFile(target), goodContent_);
  EXPECT_EQ(OutputEntries(), std::set<std::string>{"good.bin"});
}

TEST_F(RecoverFileTest, NeverWritesToTheSourceImage) {
  TryRecoverFile(geometry_, output_ / "good.bin", goodOffset_);
  TryRecoverFile(geometry_, output_ / "lost.bin", OffsetOf(LostIndex));
  EXPECT_TRUE(test::ReadWholeFile(image_) == imageBytes_);
}

struct Failure {
  const char* Description;
  int32_t Index;
  std::string Cause;
};

class RecoverFailureTest : public RecoverFileTest, public ::testing::WithParamInterface<Failure> {};

TEST_P(RecoverFailureTest, AnswersTheFailureTextFollowedByItsCause) {
  const fs::path target = output_ / "restored.bin";
  EXPECT_EQ(TryRecoverFile(geometry_, target, OffsetOf(GetParam().Index)), Prefix + GetParam().Cause);
  EXPECT_TRUE(OutputEntries().empty()) << "a failed restore leaves a file behind";
}

INSTANTIATE_TEST_SUITE_P(
    Causes, RecoverFailureTest,
    ::testing::Values(
        Failure{"record in use", TakenIndex,
                "Could not recovery the file you selected as the space already taken by another file!"},
        Failure{"run past the volume", LostIndex, "Failed to read run Data."},
        Failure{"no record", 25, "Invalid File Record 1!"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

TEST_F(RecoverFileTest, AMissingImageIsReportedWithTheSystemsReason) {
  VolumeGeometry gone = geometry_;
  gone.DrivePath = (folder_.Path() / "gone.img").string();
  const std::optional<std::string> failure = TryRecoverFile(gone, output_ / "good.bin", goodOffset_);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->rfind(Prefix, 0), 0u) << *failure;
  EXPECT_NE(failure->find(SystemErrorText(ENOENT)), std::string::npos) << *failure;
  EXPECT_TRUE(OutputEntries().empty());
}

TEST(WarningHandlerTest, SetWarningHandlerAnswersThePreviousHandler) {
  int firstCalls = 0;
  const WarningHandler original = SetWarningHandler([&](std::string_view) { return ++firstCalls; });
  const WarningHandler first = SetWarningHandler([](std::string_view) { return 42; });
  EXPECT_EQ(ShowWarning("x"), 42);
  ASSERT_TRUE(first);
  EXPECT_EQ(first("y"), 1);
  SetWarningHandler(original);
}

TEST_F(RecoverFileTest, KeepLeavesAnExistingFileAlone) {
  const fs::path target = output_ / "good.bin";
  test::WriteImage(target, test::ToBytes("mine"));

  EXPECT_TRUE(TryRecoverFile(geometry_, target, goodOffset_, OutputFile::ExistingTarget::Keep).has_value());

  EXPECT_EQ(test::ReadWholeFile(target), test::ToBytes("mine"));
  EXPECT_EQ(OutputEntries(), std::set<std::string>{"good.bin"});
}

TEST_F(RecoverFileTest, KeepWritesANewFile) {
  const fs::path target = output_ / "good.bin";
  EXPECT_EQ(TryRecoverFile(geometry_, target, goodOffset_, OutputFile::ExistingTarget::Keep), std::nullopt);
  EXPECT_EQ(test::ReadWholeFile(target), goodContent_);
}

TEST_F(RecoverFileTest, ATargetInAMissingFolderNamesTheFullPath) {
  const fs::path target = output_ / "missing" / "good.bin";
  EXPECT_EQ(TryRecoverFile(geometry_, target, goodOffset_),
            std::string(Prefix) + "Cannot create file \"" + target.string() + "\". No such file or directory");
}

}  // namespace
}  // namespace salvoran
