#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/Diagnostics.h"
#include "support/StringTable.h"
#include "engine/DeletedFileScan.h"
#include "engine/FileCategory.h"
#include "recovery/RecoverFile.h"
#include "recovery/RestoreStop.h"
#include "tests/support/CraftedVolume.h"
#include "tests/gui/ScriptedDialogs.h"
#include "tests/support/TempDir.h"
#include "ui/RecoverSelected.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;
using test::Bytes;
using test::ScriptedDialogs;

constexpr uint64_t ClusterBytes = 4096;
constexpr char BadRecordCause[] = "Invalid File Record 1!";
constexpr char BadRecordWarning[] = "For some reason, the file you selected can not be recovied!Invalid File Record 1!";

// The deleted files of the test volume, by MFT record.
constexpr int32_t PhotoRecord = 16;   // graphics, content in clusters
constexpr int32_t LogoRecord = 17;    // graphics, resident
constexpr int32_t SongRecord = 18;    // music, content in clusters
constexpr int32_t FirstARecord = 19;  // document "a.txt"
constexpr int32_t SecondARecord = 20; // document "a.txt" as well
constexpr int32_t ReportRecord = 21;  // document, content in clusters
constexpr int32_t DataRecord = 22;    // the only file of "Other Files"

struct SampleFile {
  int32_t Record;
  std::u16string Name;
  Bytes Content;
  uint64_t FirstCluster = 0;  // 0: resident
};

std::vector<SampleFile> SampleFiles() {
  return {
      {PhotoRecord, u"photo.jpg", test::Pattern(10000, 1), 100},
      {LogoRecord, u"logo.png", test::Pattern(300, 2)},
      {SongRecord, u"song.mp3", test::Pattern(5000, 3), 110},
      {FirstARecord, u"a.txt", test::ToBytes("the first a")},
      {SecondARecord, u"a.txt", test::ToBytes("the second a")},
      {ReportRecord, u"report.doc", test::Pattern(2 * ClusterBytes + 1, 4), 120},
      {DataRecord, u"data.bin", test::Pattern(100, 5)},
  };
}

Bytes DataAttribute(const SampleFile& file) {
  if (file.FirstCluster == 0) return test::ResidentDataAttribute(file.Content);
  const uint64_t clusters = (file.Content.size() + ClusterBytes - 1) / ClusterBytes;
  return test::NonResidentDataAttribute(test::EncodeRunList({{clusters, file.FirstCluster, false}}),
                                        file.Content.size(), clusters - 1);
}

Bytes SampleVolume() {
  test::VolumeSpec layout;
  layout.TotalClusters = 512;
  layout.MftRuns = {{8, 16, false}};
  for (const SampleFile& file : SampleFiles()) {
    layout.Records[file.Record] = test::DeletedFileRecord(file.Name, DataAttribute(file));
    if (file.FirstCluster != 0) layout.Clusters[file.FirstCluster] = file.Content;
  }
  return test::BuildVolume(layout);
}

// Runs every copy at once and notes what it was told.
class NotedProgress : public RestoreProgress {
 public:
  struct Restore {
    uint64_t FileCount;
    uint64_t TotalBytes;
    bool operator==(const Restore&) const = default;
  };

  void Begin(uint64_t fileCount, uint64_t totalBytes) override { Begun.push_back({fileCount, totalBytes}); }
  std::optional<std::string> Run(const std::string& name, uint64_t, const Copy& copy) override {
    Names.push_back(name);
    uint64_t& copied = Copied.emplace_back(0);
    return copy([&copied](uint64_t bytes) { copied += bytes; });
  }
  void End() override { ++Ended; }

  std::vector<Restore> Begun;
  std::vector<std::string> Names;
  std::vector<uint64_t> Copied;
  int Ended = 0;
};

class RecoverSelectedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    image_ = folder_.Path() / "volume.img";
    test::WriteImage(image_, SampleVolume());
    output_ = folder_.Path() / "out";
    fs::create_directory(output_);
    previousWarnings_ = SetWarningHandler([this](std::string_view text) {
      warnings_.emplace_back(text);
      return 0;
    });

    test::CollectingObserver observer;
    ScanDrive(image_.string(), geometry_, observer);
    ASSERT_EQ(observer.Files.size(), SampleFiles().size());
    FillTree(observer.Files);
  }
  void TearDown() override { SetWarningHandler(std::move(previousWarnings_)); }

  // As the window lists a scan: six category roots with tri-state check boxes, a check box on
  // every file.
  void FillTree(const std::vector<FoundFile>& files) {
    for (FileCategory category : AllCategories) {
      ResultNode* root = tree_.AddChild(nullptr);
      tree_.SetCheckType(root, ctTriStateCheckBox);
      const std::string_view caption = CategoryCaption(category);
      tree_.NodeData(root)->FileName.assign(caption.begin(), caption.end());
      roots_[category] = root;
    }
    for (const FoundFile& file : files) AddFile(file.Category, file.Data, file.RecordIndex);
  }
  ResultNode* AddFile(FileCategory category, const TDeletedFileData& data, int32_t record) {
    ResultNode* node = tree_.AddChild(roots_.at(category));
    tree_.SetCheckType(node, ctCheckBox);
    *tree_.NodeData(node) = data;
    files_[record] = node;
    return node;
  }

  void Check(ResultNode* node, bool checked = true) {
    tree_.SetCheckState(node, checked ? csCheckedNormal : csUncheckedNormal);
  }
  ResultNode* File(int32_t record) const { return files_.at(record); }
  ResultNode* Root(FileCategory category) const { return roots_.at(category); }

  SelectedFilesRecovery& Recovery() {
    if (!recovery_) {
      recovery_.emplace(
          tree_, geometry_, dialogs_, progress_,
          [this] {
            ++eventPasses_;
            if (onEvents_) onEvents_(eventPasses_);
          },
          [this](const VolumeGeometry& geometry, const RestoreTarget& target, int64_t recordOffset,
                 OutputFile::ExistingTarget existing, const ContentProgress& progress) {
            targets_.push_back(target.Path);
            existing_.push_back(existing);
            if (beforeRecover_) beforeRecover_();
            return TryRecoverFile(geometry, target, recordOffset, existing, progress);
          },
          [this](const fs::path& target, const std::string& source) {
            deviceChecks_.emplace_back(target, source);
            return onSourceDevice_;
          });
    }
    return *recovery_;
  }

  static Bytes ContentOf(int32_t record) {
    for (const SampleFile& file : SampleFiles()) {
      if (file.Record == record) return file.Content;
    }
    throw std::out_of_range("no sample file for the record");
  }
  std::set<std::string> OutputNames() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(output_)) names.insert(entry.path().filename().string());
    return names;
  }
  // Restores the two graphics files, stop asked while the second is copied.
  void StopDuringTheSecondFile(const std::function<void()>& stop) {
    Check(Root(FileCategory::Graphics));
    dialogs_.FolderAnswer = output_;
    beforeRecover_ = [&] {
      if (targets_.size() == 2) stop();
    };

    Recovery().Run();
    ClearRestoreStopRequest();

    EXPECT_EQ(targets_.size(), 2u);
    EXPECT_EQ(OutputNames(), std::set<std::string>{targets_[0].filename().string()});
    EXPECT_TRUE(warnings_.empty());
    EXPECT_EQ(progress_.Ended, 1);
    EXPECT_FALSE(Recovery().Running());
  }
  void ExpectSavedMessageOnce() const {
    ASSERT_EQ(dialogs_.Messages.size(), 1u);
    EXPECT_EQ(dialogs_.Messages[0].first, strings::ApplicationTitle);
    EXPECT_EQ(dialogs_.Messages[0].second, strings::FilesSavedMessage);
  }
  void ExpectNothingShown() const {
    EXPECT_TRUE(dialogs_.SuggestedNames.empty());
    EXPECT_TRUE(dialogs_.FolderPrompts.empty());
    EXPECT_TRUE(dialogs_.Questions.empty());
    EXPECT_TRUE(dialogs_.Messages.empty());
    EXPECT_TRUE(targets_.empty());
    EXPECT_TRUE(warnings_.empty());
    EXPECT_TRUE(progress_.Begun.empty());
  }

  test::TempDir folder_;
  fs::path image_;
  fs::path output_;
  VolumeGeometry geometry_;
  ResultTree tree_;
  std::map<FileCategory, ResultNode*> roots_;
  std::map<int32_t, ResultNode*> files_;
  ScriptedDialogs dialogs_;
  NotedProgress progress_;
  std::optional<SelectedFilesRecovery> recovery_;
  std::function<void(int pass)> onEvents_;
  std::function<void()> beforeRecover_;
  int eventPasses_ = 0;
  bool onSourceDevice_ = false;
  std::vector<fs::path> targets_;
  std::vector<OutputFile::ExistingTarget> existing_;
  std::vector<std::pair<fs::path, std::string>> deviceChecks_;
  std::vector<std::string> warnings_;
  WarningHandler previousWarnings_;
};

TEST_F(RecoverSelectedTest, NothingCheckedShowsNothingAndWritesNothing) {
  // An empty category checked on its own holds no file.
  Check(Root(FileCategory::Video));
  Recovery().Run();
  ExpectNothingShown();
  EXPECT_TRUE(OutputNames().empty());
}

TEST_F(RecoverSelectedTest, OneFileUnderAMixedRootIsSavedWhereTheSaveDialogSays) {
  Check(File(PhotoRecord));
  ASSERT_EQ(tree_.CheckState(Root(FileCategory::Graphics)), csMixedNormal);
  dialogs_.SaveAnswer = output_ / "chosen.jpg";

  Recovery().Run();

  EXPECT_EQ(dialogs_.SuggestedNames, std::vector<std::string>{"photo.jpg"});
  EXPECT_TRUE(dialogs_.FolderPrompts.empty());
  EXPECT_TRUE(dialogs_.Questions.empty());
  EXPECT_EQ(test::ReadWholeFile(output_ / "chosen.jpg"), ContentOf(PhotoRecord));
  EXPECT_EQ(OutputNames(), std::set<std::string>{"chosen.jpg"});
  ExpectSavedMessageOnce();
  EXPECT_TRUE(warnings_.empty());
}

TEST_F(RecoverSelectedTest, TheOnlyFileOfACheckedCategoryGoesThroughTheSaveDialog) {
  Check(Root(FileCategory::Other));
  ASSERT_EQ(tree_.CheckState(Root(FileCategory::Other)), csCheckedNormal);
  dialogs_.SaveAnswer = output_ / "data.bin";

  Recovery().Run();

  EXPECT_EQ(dialogs_.SuggestedNames, std::vector<std::string>{"data.bin"});
  EXPECT_TRUE(dialogs_.FolderPrompts.empty());
  EXPECT_EQ(test::ReadWholeFile(output_ / "data.bin"), ContentOf(DataRecord));
  ExpectSavedMessageOnce();
}

TEST_F(RecoverSelectedTest, TheSaveDialogsChoiceReplacesTheFileThereOnceConfirmed) {
  Check(File(SongRecord));
  test::WriteImage(output_ / "song.mp3", test::ToBytes("an older song"));
  dialogs_.SaveAnswer = output_ / "song.mp3";

  Recovery().Run();

  EXPECT_EQ(existing_, std::vector{OutputFile::ExistingTarget::Replace});
  EXPECT_EQ(test::ReadWholeFile(output_ / "song.mp3"), ContentOf(SongRecord));
  EXPECT_EQ(OutputNames(), std::set<std::string>{"song.mp3"});
  ExpectSavedMessageOnce();
}

TEST_F(RecoverSelectedTest, AFailedSingleFileShowsItsWarningAndNoSuccess) {
  ResultNode* lost = AddFile(FileCategory::Other, TDeletedFileData{u"lost.bin", u".bin", 0, 0, 10, 0, 1}, 99);
  Check(lost);
  dialogs_.SaveAnswer = output_ / "lost.bin";

  Recovery().Run();

  EXPECT_EQ(warnings_, std::vector<std::string>{BadRecordWarning});
  EXPECT_TRUE(dialogs_.Messages.empty());
  EXPECT_TRUE(OutputNames().empty());
}

TEST_F(RecoverSelectedTest, AWholeCategoryIsWrittenByteForByteIntoTheChosenFolder) {
  Check(Root(FileCategory::Graphics));
  dialogs_.FolderAnswer = output_;

  Recovery().Run();

  EXPECT_TRUE(dialogs_.SuggestedNames.empty());
  EXPECT_EQ(dialogs_.FolderPrompts, std::vector<std::string>{std::string(strings::ChooseFolderPrompt)});
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"photo.jpg", "logo.png"}));
  EXPECT_EQ(test::ReadWholeFile(output_ / "photo.jpg"), ContentOf(PhotoRecord));
  EXPECT_EQ(test::ReadWholeFile(output_ / "logo.png"), ContentOf(LogoRecord));
  ExpectSavedMessageOnce();
  EXPECT_TRUE(warnings_.empty());
  const uint64_t bytes = ContentOf(PhotoRecord).size() + ContentOf(LogoRecord).size();
  EXPECT_EQ(progress_.Begun, (std::vector<NotedProgress::Restore>{{2, bytes}}));
  EXPECT_EQ(progress_.Names, (std::vector<std::string>{"photo.jpg", "logo.png"}));
  EXPECT_EQ(progress_.Copied, (std::vector<uint64_t>{ContentOf(PhotoRecord).size(), ContentOf(LogoRecord).size()}));
  EXPECT_EQ(progress_.Ended, 1);
}

TEST_F(RecoverSelectedTest, FilesOfTheSameNameAndFilesAlreadyInTheFolderAllSurvive) {
  Check(Root(FileCategory::Document));
  test::WriteImage(output_ / "report.doc", test::ToBytes("written earlier"));
  dialogs_.FolderAnswer = output_;

  Recovery().Run();

  EXPECT_EQ(OutputNames(), (std::set<std::string>{"a.txt", "a (2).txt", "report.doc", "report (2).doc"}));
  EXPECT_EQ(test::ReadWholeFile(output_ / "a.txt"), ContentOf(FirstARecord));
  EXPECT_EQ(test::ReadWholeFile(output_ / "a (2).txt"), ContentOf(SecondARecord));
  EXPECT_EQ(test::ReadWholeFile(output_ / "report.doc"), test::ToBytes("written earlier"));
  EXPECT_EQ(test::ReadWholeFile(output_ / "report (2).doc"), ContentOf(ReportRecord));
  EXPECT_EQ(existing_, std::vector<OutputFile::ExistingTarget>(3, OutputFile::ExistingTarget::Keep));
  ExpectSavedMessageOnce();
}

TEST_F(RecoverSelectedTest, CancellingTheSaveDialogEndsWithoutAWord) {
  Check(File(LogoRecord));
  Recovery().Run();
  EXPECT_EQ(dialogs_.SuggestedNames.size(), 1u);
  EXPECT_TRUE(dialogs_.Messages.empty());
  EXPECT_TRUE(targets_.empty());
  EXPECT_TRUE(OutputNames().empty());
}

TEST_F(RecoverSelectedTest, CancellingTheFolderDialogEndsWithoutAWord) {
  Check(Root(FileCategory::Graphics));
  Recovery().Run();
  EXPECT_EQ(dialogs_.FolderPrompts.size(), 1u);
  EXPECT_TRUE(dialogs_.Messages.empty());
  EXPECT_TRUE(targets_.empty());
  EXPECT_TRUE(OutputNames().empty());
  EXPECT_EQ(eventPasses_, 0);
}

TEST_F(RecoverSelectedTest, ATargetOnTheSourceDeviceIsWrittenOnlyAfterTheUserAgrees) {
  onSourceDevice_ = true;
  Check(File(PhotoRecord));
  dialogs_.SaveAnswer = output_ / "photo.jpg";
  dialogs_.YesAnswer = false;

  Recovery().Run();
  ASSERT_EQ(dialogs_.Questions, std::vector<std::string>{std::string(SourceDeviceQuestion)});
  ASSERT_EQ(deviceChecks_.size(), 1u);
  EXPECT_EQ(deviceChecks_[0].first, output_ / "photo.jpg");
  EXPECT_EQ(deviceChecks_[0].second, image_.string());
  EXPECT_TRUE(dialogs_.Messages.empty());
  EXPECT_TRUE(OutputNames().empty());

  dialogs_.YesAnswer = true;
  Recovery().Run();
  EXPECT_EQ(test::ReadWholeFile(output_ / "photo.jpg"), ContentOf(PhotoRecord));
  ExpectSavedMessageOnce();
}

TEST_F(RecoverSelectedTest, AFolderOnTheSourceDeviceIsFilledOnlyAfterTheUserAgrees) {
  onSourceDevice_ = true;
  Check(Root(FileCategory::Graphics));
  dialogs_.FolderAnswer = output_;
  dialogs_.YesAnswer = false;

  Recovery().Run();
  EXPECT_EQ(dialogs_.Questions.size(), 1u);
  ASSERT_EQ(deviceChecks_.size(), 1u);
  EXPECT_EQ(deviceChecks_[0].first, output_);
  EXPECT_TRUE(dialogs_.Messages.empty());
  EXPECT_TRUE(OutputNames().empty());

  dialogs_.YesAnswer = true;
  Recovery().Run();
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"photo.jpg", "logo.png"}));
  ExpectSavedMessageOnce();
}

TEST_F(RecoverSelectedTest, FailuresOfSeveralFilesAreListedOnceAtTheEndWithTheCounts) {
  // Offset 0 is the boot sector, not a file record.
  ResultNode* lost = AddFile(FileCategory::Music, TDeletedFileData{u"lost.mp3", u".mp3", 0, 0, 10, 0, 1}, 99);
  AddFile(FileCategory::Music, TDeletedFileData{u"gone.mp3", u".mp3", 0, 0, 10, 0, 1}, 98);
  // Counted as likely damaged only when saved.
  tree_.SetClusterUse(File(SongRecord), {2, 1});
  tree_.SetClusterUse(lost, {2, 2});
  Check(Root(FileCategory::Music));
  Check(Root(FileCategory::Other));
  dialogs_.FolderAnswer = output_;

  Recovery().Run();

  EXPECT_TRUE(warnings_.empty());
  EXPECT_TRUE(dialogs_.Messages.empty()) << "claims that every file was saved";
  EXPECT_EQ(targets_.size(), 4u);
  EXPECT_EQ(OutputNames(), (std::set<std::string>{"song.mp3", "data.bin"}));
  EXPECT_EQ(test::ReadWholeFile(output_ / "data.bin"), ContentOf(DataRecord));
  ASSERT_EQ(dialogs_.FailureLists.size(), 1u);
  const ScriptedDialogs::FailureList& list = dialogs_.FailureLists[0];
  EXPECT_EQ(list.Caption, strings::ApplicationTitle);
  EXPECT_EQ(list.Summary, std::string(strings::SavedCountLabel) + "2\n" + std::string(strings::DamagedCountLabel) +
                              "1\n" + std::string(strings::FailedCountLabel) + "2");
  ASSERT_EQ(list.Failures.size(), 2u);
  EXPECT_EQ(list.Failures[0].Name, "lost.mp3");
  EXPECT_EQ(list.Failures[0].Reason, BadRecordCause);
  EXPECT_EQ(list.Failures[1].Name, "gone.mp3");
  EXPECT_EQ(progress_.Ended, 1);
}

// As the Cancel button asks while the second file is being copied: no partial file, no warning,
// no claim of success, but what was saved and where.
TEST_F(RecoverSelectedTest, ACancelEndsTheWalkWithoutAPartialFileAndSaysWhatWasSavedWhere) {
  StopDuringTheSecondFile([] { RequestRestoreStop(); });

  ASSERT_EQ(dialogs_.Messages.size(), 1u);
  EXPECT_EQ(dialogs_.Messages[0].second, strings::RestoreCancelledMessage);
  EXPECT_EQ(dialogs_.MessageNotes[0], std::string(strings::SavedCountLabel) + "1 of 2\n" +
                                          std::string(strings::SavedFolderLabel) + output_.string());
  EXPECT_TRUE(dialogs_.FailureLists.empty());
}

// A close of the window, or a signal, takes the program away: nothing is shown.
TEST_F(RecoverSelectedTest, AStopForACloseEndsTheWalkWithoutAWord) {
  StopDuringTheSecondFile([this] { recovery_->StopForClose(); });

  EXPECT_TRUE(dialogs_.Messages.empty());
  EXPECT_TRUE(dialogs_.FailureLists.empty());
}

TEST_F(RecoverSelectedTest, CheckMarksChangedDuringTheWalkCountForNodesNotYetReached) {
  Check(Root(FileCategory::Graphics));
  Check(Root(FileCategory::Document));
  dialogs_.FolderAnswer = output_;
  onEvents_ = [this](int pass) {
    if (pass != 1) return;
    Check(File(ReportRecord), false);
    Check(File(SongRecord));
  };

  Recovery().Run();

  EXPECT_EQ(OutputNames(), (std::set<std::string>{"photo.jpg", "logo.png", "song.mp3", "a.txt", "a (2).txt"}));
  EXPECT_EQ(test::ReadWholeFile(output_ / "song.mp3"), ContentOf(SongRecord));
  ExpectSavedMessageOnce();
}

TEST_F(RecoverSelectedTest, EventsAreHandledBeforeEveryCheckedNodeIsRestored) {
  Check(Root(FileCategory::Graphics));
  dialogs_.FolderAnswer = output_;
  std::vector<size_t> writtenAtPass;
  onEvents_ = [&](int) { writtenAtPass.push_back(targets_.size()); };

  Recovery().Run();

  // The root, then each of its two files.
  EXPECT_EQ(writtenAtPass, (std::vector<size_t>{0, 0, 1}));
}

TEST_F(RecoverSelectedTest, IsRunningForTheWholeWalkAndIgnoresASecondStart) {
  Check(Root(FileCategory::Graphics));
  dialogs_.FolderAnswer = output_;
  std::vector<bool> runningChanges;
  Recovery().SetRunningChangedHandler([&](bool running) { runningChanges.push_back(running); });
  onEvents_ = [this](int pass) {
    EXPECT_TRUE(recovery_->Running());
    // The recover button pressed again while the walk handles events.
    if (pass == 1) recovery_->Run();
  };

  Recovery().Run();

  EXPECT_FALSE(Recovery().Running());
  EXPECT_EQ(runningChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(dialogs_.FolderPrompts.size(), 1u);
  EXPECT_EQ(targets_.size(), 2u);
  ExpectSavedMessageOnce();
}

TEST_F(RecoverSelectedTest, AWalkStopsWithoutClaimingSuccessWhenTheTreeIsEmptied) {
  Check(Root(FileCategory::Graphics));
  Check(Root(FileCategory::Document));
  dialogs_.FolderAnswer = output_;
  onEvents_ = [this](int pass) {
    if (pass != 3) return;
    recovery_->TreeCleared();
    tree_.Clear();
    // A new scan's first results, checked already.
    ResultNode* root = tree_.AddChild(nullptr);
    ResultNode* file = tree_.AddChild(root);
    tree_.NodeData(file)->IsFileEntry = 1;
    tree_.SetCheckState(root, csCheckedNormal);
    tree_.SetCheckState(file, csCheckedNormal);
  };

  Recovery().Run();

  EXPECT_EQ(OutputNames(), std::set<std::string>{"photo.jpg"});
  EXPECT_TRUE(dialogs_.Messages.empty());
  EXPECT_FALSE(Recovery().Running());
}

}  // namespace
}  // namespace salvoran
