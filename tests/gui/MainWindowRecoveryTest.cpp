#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QHeaderView>
#include <QRegularExpression>
#include <QTest>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

#include "recovery/RestoreStop.h"
#include "support/FormatFileSize.h"
#include "support/Messages.h"
#include "support/StringTable.h"
#include "tests/fixtures/TestImages.h"
#include "tests/gui/GuiTestVolume.h"
#include "tests/gui/ScriptedDialogs.h"
#include "ui/model/NodeComparison.h"
#include "tests/gui/WindowDriver.h"
#include "tests/support/TempDir.h"
#include "ui/QtText.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;
using test::ScriptedDialogs;
using test::WarningRecorder;
using test::WindowDriver;

// Rows of the category roots.
constexpr int GraphicsRow = 0;
constexpr int MusicRow = 1;
constexpr int VideoRow = 2;
constexpr int DocumentsRow = 3;
constexpr int OtherRow = 5;
const char* const ManifestCategories[] = {"graphics", "music", "video", "documents", "html", "other"};
constexpr int LargeRecordCount = 3000;
const std::pair<std::string, std::string> SavedMessage{strings::ApplicationTitle, strings::FilesSavedMessage};
constexpr int PollMs = 10;
// The first stretch of the large test image's movie: one cluster of 64 KiB.
constexpr uint64_t StallAfterBytes = 64 * 1024;
constexpr auto StallPoll = std::chrono::milliseconds(5);
constexpr int StallPollLimit = 4000;

// A copy that stalls after its first stretch, as on a failing disk, until it is asked to stop
// (or a while has passed, so that a broken test ends).
std::optional<std::string> StallingCopy(const VolumeGeometry& geometry, const RestoreTarget& target, int64_t recordOffset,
                                        OutputFile::ExistingTarget existing, const ContentProgress& progress) {
  return TryRecoverFile(geometry, target, recordOffset, existing, [&progress](uint64_t bytes) {
    progress(bytes);
    for (int poll = 0; poll < StallPollLimit && !RestoreStopRequested(); ++poll) std::this_thread::sleep_for(StallPoll);
  });
}

QByteArray Contents(const fs::path& path) {
  QFile file(QString::fromStdString(path.string()));
  if (!file.open(QIODevice::ReadOnly)) return "<missing " + QByteArray::fromStdString(path.string()) + ">";
  return file.readAll();
}

// A restored name with the " (2)" that a name taken already gets removed again.
QString OriginalName(const QString& restored) {
  static const QRegularExpression numbered(QStringLiteral(R"(^(.*) \(\d+\)(\.[^.]*)?$)"));
  const QRegularExpressionMatch match = numbered.match(restored);
  return match.hasMatch() ? match.captured(1) + match.captured(2) : restored;
}

// Contents by original name, those of equal names sorted.
using ContentsByName = std::map<QString, QList<QByteArray>>;

void AddSorted(ContentsByName& byName, const QString& name, QByteArray content) {
  QList<QByteArray>& contents = byName[name];
  contents.append(std::move(content));
  std::sort(contents.begin(), contents.end());
}

}  // namespace

class MainWindowRecoveryTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { image_ = test::LoadTestImage("standard-4k"); }
  void init() {
    warnings_ = std::make_unique<WarningRecorder>();
    folder_ = std::make_unique<test::TempDir>();
    dialogs_ = ScriptedDialogs();
    driver_ = std::make_unique<WindowDriver>(std::vector<std::string>{}, &dialogs_);
  }
  void cleanup() {
    driver_.reset();
    folder_.reset();
    warnings_.reset();
  }

  void nothingCheckedAsksNothingAndWritesNothing() {
    Scan(image_.Image);
    QVERIFY(driver_->Recovery->isEnabled());
    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);
    ExpectNothingAsked();
    QVERIFY(fs::is_empty(folder_->Path()));
  }

  void oneCheckedFileIsSavedWhereTheSaveDialogSays_data() {
    QTest::addColumn<bool>("checkRoot");  // else the file, leaving its root mixed
    QTest::addColumn<int>("rootRow");
    QTest::addColumn<QString>("name");
    QTest::newRow("file under a mixed root") << false << GraphicsRow << "beach.jpg";
    QTest::newRow("only file of a checked category") << true << MusicRow << "song.mp3";
  }

  void oneCheckedFileIsSavedWhereTheSaveDialogSays() {
    QFETCH(bool, checkRoot);
    QFETCH(int, rootRow);
    QFETCH(QString, name);
    Scan(image_.Image);
    const QModelIndex file = driver_->FileIndex(rootRow, name);
    QVERIFY(file.isValid());
    Check(checkRoot ? driver_->Root(rootRow) : file);
    QCOMPARE(driver_->Root(rootRow).data(Qt::CheckStateRole).toInt(),
             int(checkRoot ? Qt::Checked : Qt::PartiallyChecked));
    dialogs_.SaveAnswer = folder_->Path() / "chosen";

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QCOMPARE(dialogs_.SuggestedNames, std::vector<std::string>{name.toStdString()});
    QVERIFY(dialogs_.FolderPrompts.empty());
    QCOMPARE(Contents(folder_->Path() / "chosen"), Contents(Manifest(rootRow, name).Expected));
    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }

  void aCheckedCategoryIsRestoredByteForByteIntoTheChosenFolder() {
    Scan(image_.Image);
    Check(driver_->Root(DocumentsRow));
    dialogs_.FolderAnswer = folder_->Path();

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QVERIFY(dialogs_.SuggestedNames.empty());
    QCOMPARE(dialogs_.FolderPrompts, std::vector<std::string>{std::string(strings::ChooseFolderPrompt)});
    ContentsByName expected;
    int todoCount = 0;
    for (const test::ManifestFile* file : image_.ListedDeletedFiles()) {
      if (file->Category != ManifestCategories[DocumentsRow]) continue;
      AddSorted(expected, QString::fromStdString(file->Name), Contents(file->Expected));
      todoCount += file->Name == "todo.txt" ? 1 : 0;
    }
    QCOMPARE(todoCount, 2);  // two deleted files of one name: both must land
    ContentsByName restored;
    int restoredCount = 0;
    for (const auto& entry : fs::directory_iterator(folder_->Path())) {
      AddSorted(restored, OriginalName(QString::fromStdString(entry.path().filename().string())),
                Contents(entry.path()));
      ++restoredCount;
    }
    QCOMPARE(restored, expected);
    QCOMPARE(restoredCount, 9);
    QVERIFY(fs::exists(folder_->Path() / "todo (2).txt"));
    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }

  void cancellingADialogEndsWithoutAWord_data() {
    QTest::addColumn<bool>("several");  // the folder dialog, else the save dialog
    QTest::newRow("save dialog") << false;
    QTest::newRow("folder dialog") << true;
  }

  void cancellingADialogEndsWithoutAWord() {
    QFETCH(bool, several);
    Scan(image_.Image);
    Check(several ? driver_->Root(GraphicsRow) : driver_->FileIndex(GraphicsRow, "thumb.jpg"));

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QCOMPARE(dialogs_.SuggestedNames.size(), several ? 0u : 1u);
    QCOMPARE(dialogs_.FolderPrompts.size(), several ? 1u : 0u);
    QVERIFY(dialogs_.Messages.empty());
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
    QVERIFY(fs::is_empty(folder_->Path()));
  }

  void aRestoreOfSeveralWhereOneFailsEndsWithTheCountsAndOneListOfFailures() {
    // The volume changes after the scan: one file's record is overwritten.
    const fs::path volume = folder_->Path() / "volume.img";
    fs::copy_file(image_.Image, volume);
    const fs::path output = folder_->Path() / "out";
    fs::create_directory(output);
    Scan(volume);
    const QModelIndex failing = driver_->FileIndex(OtherRow, "database.dat");
    QVERIFY(failing.isValid());
    const int64_t recordOffset = driver_->Model().NodeOf(failing)->Data().RecordOffset;
    {
      QFile file(QString::fromStdString(volume.string()));
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.seek(recordOffset));
      QCOMPARE(file.read(4), QByteArray("FILE"));
      QVERIFY(file.seek(recordOffset));
      QCOMPARE(file.write("XXXX"), qint64(4));
    }
    Check(driver_->Root(OtherRow));
    dialogs_.FolderAnswer = output;

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
    QVERIFY(dialogs_.Messages.empty());
    QCOMPARE(Contents(output / "backup.tar.gz"), Contents(Manifest(OtherRow, "backup.tar.gz").Expected));
    QCOMPARE(Contents(output / "session.tmp"), Contents(Manifest(OtherRow, "session.tmp").Expected));
    QVERIFY(!fs::exists(output / "database.dat"));
    QCOMPARE(dialogs_.FailureLists.size(), 1u);
    const ScriptedDialogs::FailureList& list = dialogs_.FailureLists[0];
    const int saved = driver_->Model().rowCount(driver_->Root(OtherRow)) - 1;
    QCOMPARE(list.Summary, std::string(strings::SavedCountLabel) + std::to_string(saved) + "\n" +
                               std::string(strings::FailedCountLabel) + "1");
    QCOMPARE(list.Failures.size(), 1u);
    QCOMPARE(list.Failures[0].Name, std::string("database.dat"));
    QCOMPARE(list.Failures[0].Reason, std::string(messages::BadRecordSignature));
  }

  void whileAWalkRunsScanNowRecoverAndSortingAreRefused() {
    Scan(image_.Image);
    Check(driver_->Root(GraphicsRow));
    dialogs_.FolderAnswer = folder_->Path();
    const QStringList rootsBefore = driver_->RootTexts();
    bool actedDuringWalk = false;
    bool commandsDisabled = false;
    QStringList rootsAfterHeaderClick;
    dialogs_.WhileAsking = [&] {
      if (actedDuringWalk) return;
      actedDuringWalk = true;
      // Once the folder is chosen, at the walk's first pause for events.
      QMetaObject::invokeMethod(
          &driver_->Window,
          [&] {
            commandsDisabled = !driver_->ScanNow->isEnabled() && !driver_->Recovery->isEnabled();
            ClickNameHeader();
            rootsAfterHeaderClick = driver_->RootTexts();
          },
          Qt::QueuedConnection);
    };

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QVERIFY(actedDuringWalk);
    QVERIFY(commandsDisabled);
    QCOMPARE(rootsAfterHeaderClick, rootsBefore);
    QCOMPARE(std::distance(fs::directory_iterator(folder_->Path()), fs::directory_iterator()), 4);
    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
    QVERIFY(driver_->ScanNow->isEnabled());
    QVERIFY(driver_->Recovery->isEnabled());

    // Sorting works again once the walk is over.
    ClickNameHeader();
    QVERIFY(driver_->RootTexts() != rootsBefore);
  }

  void aLongCopyShowsItsProgressAndCancelOrACloseLeavesNothingBehind_data() {
    QTest::addColumn<bool>("closeWindow");  // else Cancel
    QTest::newRow("Cancel") << false;
    QTest::newRow("close of the window") << true;
  }

  void aLongCopyShowsItsProgressAndCancelOrACloseLeavesNothingBehind() {
    QFETCH(bool, closeWindow);
    const test::TestImage large = test::LoadTestImage("standard-64k");
    driver_ = std::make_unique<WindowDriver>(std::vector<std::string>{}, &dialogs_, SystemBeep, StallingCopy);
    Scan(large.Image);
    Check(driver_->Root(VideoRow));
    Check(driver_->Root(OtherRow));
    dialogs_.FolderAnswer = folder_->Path();
    uint64_t totalBytes = 0;
    int fileCount = 0;
    for (const test::ManifestFile* file : large.ListedDeletedFiles()) {
      if (file->Category != ManifestCategories[VideoRow] && file->Category != ManifestCategories[OtherRow]) continue;
      totalBytes += file->Size;
      ++fileCount;
    }
    QString title;
    QString fileLine;
    QString bytesLine;
    int step = 0;
    bool partialFileWhileShown = false;
    auto* whenShown = new QTimer(&driver_->Window);
    connect(whenShown, &QTimer::timeout, whenShown, [&, whenShown] {
      auto* progress = driver_->Window.findChild<QDialog*>("RestoreProgress");
      if (progress == nullptr || !progress->isVisible()) return;
      whenShown->stop();
      title = progress->windowTitle();
      fileLine = progress->findChild<QLabel*>("RestoringFile")->text();
      bytesLine = progress->findChild<QLabel*>("RestoredBytes")->text();
      step = progress->findChild<QProgressBar*>()->value();
      partialFileWhileShown = !fs::is_empty(folder_->Path());
      if (closeWindow) {
        driver_->Window.close();
      } else {
        progress->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Cancel)->click();
      }
    });
    whenShown->start(PollMs);

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QCOMPARE(title.toStdString(), strings::ApplicationTitle);
    QCOMPARE(fileLine, QStringLiteral("Restoring file 1 of %1: movie.mp4").arg(fileCount));
    const std::string sizes = FormatFileSize(StallAfterBytes) + " of " + FormatFileSize(totalBytes);
    QVERIFY2(bytesLine.startsWith(QString::fromStdString(sizes)), qPrintable(bytesLine));
    QVERIFY(step > 0);
    QVERIFY(partialFileWhileShown);
    QVERIFY(fs::is_empty(folder_->Path()));
    // A Cancel says how many files were saved, and where; a close says nothing.
    if (closeWindow) {
      QVERIFY(dialogs_.Messages.empty());
    } else {
      QCOMPARE(dialogs_.Messages, (std::vector{std::pair{std::string(strings::ApplicationTitle),
                                                         std::string(strings::RestoreCancelledMessage)}}));
      QCOMPARE(dialogs_.MessageNotes.front(), std::string(strings::SavedCountLabel) + "0 of " +
                                                  std::to_string(fileCount) + "\n" +
                                                  std::string(strings::SavedFolderLabel) + folder_->Path().string());
    }
    QVERIFY(dialogs_.FailureLists.empty());
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
    QVERIFY(driver_->Window.findChild<QDialog*>("RestoreProgress") == nullptr);
    QCOMPARE(driver_->Window.isVisible(), !closeWindow);
    QVERIFY(driver_->Recovery->isEnabled());
  }

  void aWalkStartedAtAPauseOfAScanKeepsScanNowDisabledUntilTheScanEnds() {
    const fs::path volume = folder_->Path() / "large.img";
    std::vector<test::SampleFile> files;
    for (int number = FirstUserRecord; number < LargeRecordCount; ++number) {
      files.push_back({u"data" + QString::number(number).toStdU16String() + u".bin"});
    }
    test::WriteVolumeImage(volume, files);
    driver_->Window.AddImageFiles({QString::fromStdString(volume.string())});
    dialogs_.SaveAnswer = folder_->Path() / "saved.bin";
    bool commandsDisabledWhileAsking = false;
    dialogs_.WhileAsking = [&] {
      commandsDisabledWhileAsking = !driver_->ScanNow->isEnabled() && !driver_->Recovery->isEnabled();
    };
    bool recovered = false;
    bool scanNowDisabledAfterWalk = false;
    bool recoverEnabledAfterWalk = false;
    driver_->WhileScanning([&] {
      const QModelIndex first = driver_->Model().index(0, 0, driver_->Root(OtherRow));
      if (!first.isValid()) return true;
      Check(first);
      driver_->Tree->setCurrentIndex(first);
      QTest::mouseClick(driver_->Recovery, Qt::LeftButton);
      recovered = true;
      scanNowDisabledAfterWalk = !driver_->ScanNow->isEnabled();
      recoverEnabledAfterWalk = driver_->Recovery->isEnabled();
      return false;
    });
    driver_->ClickScanNow();

    QVERIFY(recovered);
    QVERIFY(commandsDisabledWhileAsking);
    QVERIFY(scanNowDisabledAfterWalk);
    QVERIFY(recoverEnabledAfterWalk);
    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
    QVERIFY(fs::exists(folder_->Path() / "saved.bin"));
    QVERIFY(driver_->ScanNow->isEnabled());
    QCOMPARE(driver_->Model().rowCount(driver_->Root(OtherRow)), LargeRecordCount - FirstUserRecord);
  }

  // The folders image: whole chains, chains broken at a reused parent record, files whose
  // clusters newer files took.
  void severalFilesLandInTheirOriginalFoldersWhenAskedElseFlat_data() {
    QTest::addColumn<bool>("keepFolders");
    QTest::newRow("folders kept") << true;
    QTest::newRow("flat") << false;
  }

  void severalFilesLandInTheirOriginalFoldersWhenAskedElseFlat() {
    QFETCH(bool, keepFolders);
    const test::TestImage image = test::LoadTestImage("folders");
    Scan(image.Image);
    for (int row = 0; row < driver_->Model().rowCount(); ++row) Check(driver_->Root(row));
    dialogs_.FolderAnswer = folder_->Path();
    dialogs_.KeepFoldersAnswer = keepFolders;

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QStringList expected;
    for (const test::ManifestFile* file : image.ListedDeletedFiles()) {
      fs::path relative = file->Name;
      if (keepFolders) {
        const std::string& folder = file->ExpectedFolder;
        const fs::path copy =
            folder.starts_with('/') ? fs::path(folder.substr(1)) : fs::path(messages::UnknownFolderName) / folder;
        relative = (copy / file->Name).lexically_normal();
      }
      expected.append(QString::fromStdString(relative.string()));
      if (file->OverwrittenClusters == 0u) {
        QCOMPARE(Contents(folder_->Path() / relative), Contents(file->Expected));
      }
    }
    QStringList restored;
    for (const auto& entry : fs::recursive_directory_iterator(folder_->Path())) {
      if (!entry.is_directory()) restored.append(QString::fromStdString(entry.path().lexically_relative(folder_->Path()).string()));
    }
    expected.sort();
    restored.sort();
    QCOMPARE(restored, expected);
    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
  }

  void theClosingMessageSaysWhichContentIsLikelyDamaged_data() {
    QTest::addColumn<QStringList>("checked");  // "row/name", or "row" for a whole category
    QTest::addColumn<QString>("note");
    QTest::addColumn<bool>("namesDamaged");  // the details name the damaged files
    QTest::newRow("several, two partly or wholly overwritten")
        << QStringList{QString::number(MusicRow), QString::number(VideoRow), "0/cover.jpg"}
        << QString::fromStdString(std::string(strings::DamagedCountLabel) + "2") << true;
    QTest::newRow("one partly overwritten")
        << QStringList{"2/clip.mp4"} << ToQString(strings::DamagedFileNote) << false;
    QTest::newRow("one whole") << QStringList{"0/cover.jpg"} << QString() << false;
  }

  void theClosingMessageSaysWhichContentIsLikelyDamaged() {
    QFETCH(QStringList, checked);
    QFETCH(QString, note);
    QFETCH(bool, namesDamaged);
    const test::TestImage image = test::LoadTestImage("folders");
    Scan(image.Image);
    for (const QString& item : checked) {
      const QStringList parts = item.split('/');
      const int row = parts[0].toInt();
      Check(parts.size() == 1 ? driver_->Root(row) : driver_->FileIndex(row, parts[1]));
    }
    dialogs_.FolderAnswer = folder_->Path();
    dialogs_.SaveAnswer = folder_->Path() / "chosen";

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
    QCOMPARE(dialogs_.MessageNotes, std::vector<std::string>{note.toStdString()});
    QStringList damaged;
    for (const test::ManifestFile* file : image.ListedDeletedFiles()) {
      const bool musicOrVideo =
          file->Category == ManifestCategories[MusicRow] || file->Category == ManifestCategories[VideoRow];
      if (namesDamaged && musicOrVideo && file->OverwrittenClusters.value_or(0) > 0) {
        damaged.append(QString::fromStdString(file->Name));
      }
    }
    QStringList details = QString::fromStdString(dialogs_.MessageDetails.front()).split('\n', Qt::SkipEmptyParts);
    damaged.sort();
    details.sort();
    QCOMPARE(details, damaged);
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }

  // Found in an MFT of 4 KiB clusters on a volume quick-formatted with 1 KiB ones: read through
  // the geometry of the MFT they were found in, not the volume's.
  void foundFilesAreRestoredThroughTheMftTheyWereFoundIn() {
    const test::TestImage formatted = test::LoadTestImage("quick-format-1k");
    driver_->Find<QCheckBox>("chkDeepScan")->setChecked(true);
    Scan(formatted.Image);
    Check(driver_->Root(GraphicsRow));
    dialogs_.FolderAnswer = folder_->Path();

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
    int restored = 0;
    for (const test::ManifestFile& file : formatted.Files) {
      if (file.Directory || file.Category != ManifestCategories[GraphicsRow]) continue;
      QVERIFY(*file.FormatContentIntact);
      QCOMPARE(Contents(folder_->Path() / file.Name), Contents(file.Expected));
      ++restored;
    }
    QCOMPARE(restored, 9);
  }

  // Carved files are listed in their categories as carved, and restore to the bytes the deleted
  // files held.
  void carvedFilesAreListedAsCarvedAndRestoreToTheirContent() {
    const test::TestImage carving = test::LoadTestImage("carving");
    driver_->Find<QCheckBox>("chkDeepScan")->setChecked(true);
    Scan(carving.Image);
    const QModelIndex graphics = driver_->Root(GraphicsRow);
    int carved = 0;
    for (int row = 0; row < driver_->Model().rowCount(graphics); ++row) {
      const QModelIndex file = driver_->Model().index(row, 0, graphics);
      if (!file.siblingAtColumn(rcState).data().toString().endsWith(QStringLiteral(" (carved)"))) continue;
      ++carved;
      QVERIFY(file.data().toString().contains(QStringLiteral("carved-")));
      Check(file);
    }
    QVERIFY(carved > 0);
    dialogs_.FolderAnswer = folder_->Path();

    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);

    QCOMPARE(dialogs_.Messages, (std::vector{SavedMessage}));
    std::vector<QByteArray> truths;
    for (const test::ManifestFile& file : carving.Files)
      if (!file.Directory && file.Deleted) truths.push_back(Contents(file.Expected));
    int restored = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder_->Path())) {
      QVERIFY2(std::find(truths.begin(), truths.end(), Contents(entry.path())) != truths.end(),
               entry.path().c_str());
      ++restored;
    }
    QCOMPARE(restored, carved);
  }

 private:
  void Scan(const fs::path& volume) {
    driver_->Window.AddImageFiles({QString::fromStdString(volume.string())});
    driver_->ClickScanNow();
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }

  void ClickNameHeader() {
    QWidget* header = driver_->Tree->header()->viewport();
    QTest::mouseClick(header, Qt::LeftButton, Qt::NoModifier, QPoint(header->height() / 2, header->height() / 2));
  }

  // A click on the check box, as the view passes it to the model.
  void Check(const QModelIndex& index) { driver_->Model().setData(index, Qt::Checked, Qt::CheckStateRole); }

  const test::ManifestFile& Manifest(int rootRow, const QString& name) const {
    for (const test::ManifestFile* file : image_.ListedDeletedFiles()) {
      if (file->Category == ManifestCategories[rootRow] && file->Name == name.toStdString()) return *file;
    }
    qFatal("no file %s in the manifest", qPrintable(name));
  }

  void ExpectNothingAsked() const {
    QVERIFY(dialogs_.SuggestedNames.empty());
    QVERIFY(dialogs_.FolderPrompts.empty());
    QVERIFY(dialogs_.Questions.empty());
    QVERIFY(dialogs_.Messages.empty());
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }

  test::TestImage image_;
  std::unique_ptr<WarningRecorder> warnings_;
  std::unique_ptr<test::TempDir> folder_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<WindowDriver> driver_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::MainWindowRecoveryTest)
#include "MainWindowRecoveryTest.moc"
