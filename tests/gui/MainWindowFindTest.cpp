#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimeZone>
#include <filesystem>
#include <memory>

#include "support/StringTable.h"
#include "tests/fixtures/TestImages.h"
#include "tests/gui/GuiTestVolume.h"
#include "tests/gui/WindowDriver.h"
#include "tests/support/TempDir.h"
#include "ui/FindDialog.h"

namespace salvoran {
namespace {

using test::WarningRecorder;
using test::WindowDriver;

constexpr int GraphicsRow = 0;
constexpr int MusicRow = 1;
constexpr int LargeRecordCount = 6000;

// The date part of a manifest time as the list shows it in the tests' locale and zone, written
// out here without the code under test.
QString UsDate(int64_t unixSeconds) {
  return QDateTime::fromSecsSinceEpoch(unixSeconds, QTimeZone::utc()).toString(QStringLiteral("M/d/yy"));
}

}  // namespace

class MainWindowFindTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
    image_ = test::LoadTestImage("standard-4k");
  }
  void init() {
    warnings_ = std::make_unique<WarningRecorder>();
    beeps_ = 0;
    driver_ = std::make_unique<WindowDriver>(std::vector<std::string>{}, nullptr, [this] { ++beeps_; });
    driver_->Window.AddImageFiles({QString::fromStdString(image_.Image.string())});
    driver_->ClickScanNow();
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
  }
  void cleanup() {
    driver_.reset();
    warnings_.reset();
  }

  void searchFileInTheTreesContextMenuOpensTheFindDialog() {
    auto* menu = driver_->Find<QMenu>("PopupMenuTree");
    auto* item = driver_->Find<QAction>("mnuFindText");
    // Search File first; the preview pane's command follows it.
    QCOMPARE(menu->actions().value(0), item);
    QCOMPARE(item->text(), QString::fromUtf8(strings::SearchFileCaption));
    QVERIFY(QTest::qWaitForWindowExposed(&driver_->Window));
    QWidget* viewport = driver_->Tree->viewport();
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 20), viewport->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(viewport, &click);
    QTRY_VERIFY(menu->isVisible());

    item->trigger();
    menu->close();
    QVERIFY(Dialog().isVisible());
    QVERIFY(!Dialog().isModal());
  }

  void theFirstMatchIsTheFirstCategoryThenTheNextOnes() {
    OpenWithMenu();
    FindNext("files");
    ExpectShowing(driver_->Root(GraphicsRow));
    FindNext("files");
    ExpectShowing(driver_->Root(MusicRow));
    QCOMPARE(beeps_, 0);
  }

  void datesAndSizesMatchThroughTheirOwnColumns() {
    OpenWithMenu();
    const test::ManifestFile& song = image_.Get("/Music/song.mp3");
    FindNext(UsDate(song.Times.Modified));
    ExpectShowing(driver_->FileIndex(MusicRow, "song.mp3"));
    // The reopened dialog starts at the top again.
    OpenWithMenu();
    FindNext(UsDate(song.Times.Created));
    ExpectShowing(driver_->FileIndex(MusicRow, "song.mp3"));

    OpenWithMenu();
    // No category caption holds "kb"; the first file is far above a kilobyte.
    FindNext("kB");
    ExpectShowing(driver_->FileIndex(GraphicsRow, "beach.jpg"));
  }

  void aMatchInACollapsedCategoryOpensIt() {
    QVERIFY(!driver_->Tree->isExpanded(driver_->Root(MusicRow)));
    OpenWithMenu();
    FindNext("SONG");
    ExpectShowing(driver_->FileIndex(MusicRow, "song.mp3"));
    QVERIFY(driver_->Tree->isExpanded(driver_->Root(MusicRow)));
    QVERIFY(!driver_->Tree->isExpanded(driver_->Root(GraphicsRow)));
  }

  void theFindAfterTheLastMatchBeepsAndLeavesTheMatchShown() {
    OpenWithMenu();
    FindNext("song.mp3");
    QCOMPARE(beeps_, 0);
    FindNext("song.mp3");
    QCOMPARE(beeps_, 1);
    ExpectShowing(driver_->FileIndex(MusicRow, "song.mp3"));
  }

  void ctrlFPressedInTheTreeReopensTheDialogAtTheTop_data() {
    QTest::addColumn<int>("modifiers");
    QTest::newRow("ctrl") << int(Qt::ControlModifier);
    QTest::newRow("ctrl shift alt") << int(Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
  }

  // On the press, as a shortcut acts: Ctrl may be let go before the F.
  void ctrlFPressedInTheTreeReopensTheDialogAtTheTop() {
    QFETCH(int, modifiers);
    OpenWithMenu();
    FindNext("files");
    FindNext("files");
    Dialog().hide();

    QTest::keyPress(driver_->Tree, Qt::Key_F, Qt::ShiftModifier);
    QTest::keyPress(driver_->Tree, Qt::Key_G, Qt::ControlModifier);
    QVERIFY(Dialog().isHidden());
    QTest::keyPress(driver_->Tree, Qt::Key_F, Qt::KeyboardModifiers(modifiers));
    QVERIFY(Dialog().isVisible());
    QTest::keyRelease(driver_->Tree, Qt::Key_Control, Qt::NoModifier);
    QTest::keyRelease(driver_->Tree, Qt::Key_F, Qt::NoModifier);
    QCOMPARE(Text().text(), QStringLiteral("files"));
    QTest::keyClick(&Text(), Qt::Key_Return);
    ExpectShowing(driver_->Root(GraphicsRow));
  }

  // The match shows in the list while the keyboard stays in the dialog.
  void enterKeepsFindingTheNextMatch() {
    OpenWithMenu();
    QVERIFY(QTest::qWaitForWindowActive(&Dialog()));
    Text().setText(QStringLiteral("files"));
    QTest::keyClick(&Text(), Qt::Key_Return);
    ExpectShowing(driver_->Root(GraphicsRow));
    QApplication::processEvents();
    QCOMPARE(QApplication::activeWindow(), &Dialog());
    QCOMPARE(QApplication::focusWidget(), &Text());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ExpectShowing(driver_->Root(MusicRow));
  }

  void aFindAfterANewScanStartsFromTheFirstNode() {
    OpenWithMenu();
    FindNext("files");
    FindNext("files");
    ExpectShowing(driver_->Root(MusicRow));

    driver_->ClickScanNow();
    // The dialog stayed open across the scan.
    QTest::keyClick(&Text(), Qt::Key_Return);
    ExpectShowing(driver_->Root(GraphicsRow));
  }

  void aMatchAmongRowsTheScanHasNotShownYetIsShown() {
    const std::filesystem::path volume = folder_.Path() / "large.img";
    std::vector<test::SampleFile> files;
    for (int number = FirstUserRecord; number < LargeRecordCount; ++number) {
      files.push_back({u"data" + QString::number(number).toStdU16String() + u".bin"});
    }
    test::WriteVolumeImage(volume, files);
    driver_->Window.AddImageFiles({QString::fromStdString(volume.string())});
    OpenWithMenu();
    QString sought;
    bool shown = false;
    driver_->WhileScanning([&] {
      const ResultTree& tree = driver_->Tree->Tree();
      if (tree.ChildCount(nullptr) == 0) return true;
      const ResultNode* other = tree.Child(nullptr, tree.ChildCount(nullptr) - 1);
      const size_t listed = tree.ChildCount(other);
      const QModelIndex otherIndex = driver_->Model().IndexOf(other);
      if (!otherIndex.isValid() || size_t(driver_->Model().rowCount(otherIndex)) == listed) return true;
      // The last file found is in the tree but not yet in the view.
      sought = QString::fromStdU16String(tree.Child(other, listed - 1)->Data().FileName);
      FindNext(sought);
      shown = driver_->Tree->currentIndex().data().toString() == sought;
      return false;
    });
    driver_->ClickScanNow();

    QVERIFY2(!sought.isEmpty(), "the scan had rows not yet shown at one of its pauses");
    QVERIFY(shown);
    QCOMPARE(beeps_, 0);
  }

 private:
  FindDialog& Dialog() { return *driver_->Find<FindDialog>("FindDialog"); }
  QLineEdit& Text() { return *Dialog().findChild<QLineEdit*>("findText"); }

  void OpenWithMenu() {
    driver_->Find<QAction>("mnuFindText")->trigger();
    QVERIFY(Dialog().isVisible());
  }

  void FindNext(const QString& text) {
    Text().setText(text);
    QTest::mouseClick(Dialog().findChild<QPushButton*>("findNext"), Qt::LeftButton);
  }

  // The match is current and the only row selected, in the view and in the tree behind it.
  void ExpectShowing(const QModelIndex& index) {
    QVERIFY(index.isValid());
    QCOMPARE(driver_->Tree->currentIndex(), index);
    QCOMPARE(driver_->Tree->selectionModel()->selectedRows(), QModelIndexList{index});
    const ResultTree& tree = driver_->Tree->Tree();
    QCOMPARE(tree.FocusedNode(), driver_->Model().NodeOf(index));
    QCOMPARE(tree.SelectedNodes(), std::vector<ResultNode*>{driver_->Model().NodeOf(index)});
  }

  test::TestImage image_;
  test::TempDir folder_;
  std::unique_ptr<WarningRecorder> warnings_;
  int beeps_ = 0;
  std::unique_ptr<WindowDriver> driver_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::MainWindowFindTest)
#include "MainWindowFindTest.moc"
