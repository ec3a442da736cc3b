#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <filesystem>
#include <memory>
#include <set>

#include "tests/fixtures/TestImages.h"
#include "tests/gui/ScriptedDialogs.h"
#include "tests/gui/WindowDriver.h"
#include "tests/support/TempDir.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

namespace fs = std::filesystem;

constexpr int GraphicsRow = 0;
constexpr int MusicRow = 1;
constexpr int VideoRow = 2;
constexpr int DocumentsRow = 3;

std::set<std::string> FileNames(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

}  // namespace

class MainWindowFilterTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    warnings_ = std::make_unique<test::WarningRecorder>();
    folder_ = std::make_unique<test::TempDir>();
    dialogs_ = test::ScriptedDialogs();
    driver_ = std::make_unique<test::WindowDriver>(std::vector<std::string>{}, &dialogs_);
    filter_ = driver_->Find<QLineEdit>("edtFilter");
    QVERIFY(filter_ != nullptr);
  }
  void cleanup() {
    driver_.reset();
    folder_.reset();
    warnings_.reset();
  }

  void typedTextShowsTheFilesItNamesAndOnlyThoseShownTickedAreRestored() {
    const test::TestImage image = test::LoadTestImage("standard-4k");
    driver_->Window.AddImageFiles({QString::fromStdString(image.Image.string())});
    driver_->ClickScanNow();
    Check(driver_->FileIndex(DocumentsRow, "notes.txt"));

    QTest::keyClicks(filter_, "TODO");
    // Answered once the typing pauses.
    QTRY_COMPARE(driver_->Root(DocumentsRow).data().toString(), QStringLiteral("Document Files(2)"));
    QCOMPARE(driver_->Root(GraphicsRow).data().toString(), QStringLiteral("Graphics Files(0)"));
    QVERIFY(!driver_->FileIndex(DocumentsRow, "notes.txt").isValid());

    // The category's tick takes the two files shown, not the hidden one ticked before.
    Check(driver_->Root(DocumentsRow));
    dialogs_.FolderAnswer = folder_->Path();
    QTest::mouseClick(driver_->Recovery, Qt::LeftButton);
    QCOMPARE(FileNames(folder_->Path()), (std::set<std::string>{"todo.txt", "todo (2).txt"}));

    // Emptied, the box shows every file again with the marks they had.
    filter_->clear();
    QTest::keyClick(filter_, Qt::Key_Return);
    QVERIFY(driver_->Root(DocumentsRow).data().toString() != QStringLiteral("Document Files(2)"));
    QCOMPARE(driver_->FileIndex(DocumentsRow, "notes.txt").data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(driver_->Root(DocumentsRow).data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }

  void foldersAndStatesAreThoseOfTheVolumeAndOverwrittenFilesCanBeHidden() {
    // Folders that are whole, partial where a parent's record was reused, unknown; files whose
    // clusters newer files took in part or whole.
    const test::TestImage image = test::LoadTestImage("folders");
    driver_->Window.AddImageFiles({QString::fromStdString(image.Image.string())});
    driver_->ClickScanNow();
    for (const test::ManifestFile* file : image.ListedDeletedFiles()) {
      QModelIndex index;
      for (int row = 0; row < driver_->Model().rowCount() && !index.isValid(); ++row) {
        index = driver_->FileIndex(row, QString::fromStdString(file->Name));
      }
      QVERIFY2(index.isValid(), file->Path.c_str());
      QCOMPARE(index.siblingAtColumn(rcFolder).data().toString(), QString::fromStdString(file->ExpectedFolder));
    }
    const auto state = [&](int row, const char* name) {
      return driver_->FileIndex(row, QString::fromLatin1(name)).siblingAtColumn(rcState);
    };
    QCOMPARE(state(GraphicsRow, "cover.jpg").data().toString(), QStringLiteral("Good"));
    QCOMPARE(state(VideoRow, "clip.mp4").data().toString(), QStringLiteral("Partly overwritten"));
    QCOMPARE(state(VideoRow, "clip.mp4").data(Qt::ToolTipRole).toString(),
             QStringLiteral("32 of its 64 clusters are in use by other files"));
    QCOMPARE(state(MusicRow, "song.mp3").data().toString(), QStringLiteral("Overwritten"));

    QTest::mouseClick(driver_->Find<QCheckBox>("chkHideOverwritten"), Qt::LeftButton);
    QCOMPARE(driver_->Root(MusicRow).data().toString(), QStringLiteral("Music Files(0)"));
    QCOMPARE(driver_->Root(VideoRow).data().toString(), QStringLiteral("Video Files(1)"));

    QTest::keyClicks(filter_, "trips");
    QTest::keyClick(filter_, Qt::Key_Return);
    QCOMPARE(driver_->Root(GraphicsRow).data().toString(), QStringLiteral("Graphics Files(1)"));
    QCOMPARE(driver_->Root(DocumentsRow).data().toString(), QStringLiteral("Document Files(2)"));
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }

 private:
  void Check(const QModelIndex& index) { driver_->Model().setData(index, Qt::Checked, Qt::CheckStateRole); }

  std::unique_ptr<test::WarningRecorder> warnings_;
  std::unique_ptr<test::TempDir> folder_;
  test::ScriptedDialogs dialogs_;
  std::unique_ptr<test::WindowDriver> driver_;
  QLineEdit* filter_ = nullptr;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::MainWindowFilterTest)
#include "MainWindowFilterTest.moc"
