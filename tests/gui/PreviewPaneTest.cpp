// The preview pane in the main window, on the generated preview volume: a picture, a text and a
// binary file as a user selects them in the list.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "tests/fixtures/TestImages.h"
#include "tests/gui/WindowDriver.h"
#include "ui/preview/HexView.h"
#include "ui/preview/PictureView.h"
#include "ui/preview/PreviewPane.h"

namespace salvoran {
namespace {

constexpr int GraphicsRow = 0;
constexpr int DocumentsRow = 3;
constexpr int OtherRow = 5;

}  // namespace

class PreviewPaneTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // Before the first settings are read: the pane starts as a new user's does.
    QVERIFY(settings_.isValid());
    qputenv("XDG_CONFIG_HOME", settings_.path().toLocal8Bit());
    image_ = test::LoadTestImage("preview");
  }

  void init() {
    driver_ = std::make_unique<test::WindowDriver>();
    driver_->Window.AddImageFiles({QString::fromStdString(image_.Image.string())});
    driver_->ClickScanNow();
    pane_ = driver_->Find<PreviewPane>("PreviewPane");
    action_ = driver_->Find<QAction>("PreviewAction");
    QVERIFY(pane_ != nullptr && action_ != nullptr);
  }
  void cleanup() { driver_.reset(); }

  void isHiddenUntilTurnedOnAndRemembersThat() {
    QVERIFY(!pane_->isVisible());
    QVERIFY(!action_->isChecked());
    QVERIFY(driver_->Find<QMenu>("PopupMenuTree")->actions().contains(action_));
    QTest::keyClick(&driver_->Window, Qt::Key_P, Qt::AltModifier);
    QVERIFY(pane_->isVisible());

    // The next window opens with the pane shown, as the user left it.
    driver_ = std::make_unique<test::WindowDriver>();
    QVERIFY(driver_->Find<PreviewPane>("PreviewPane")->isVisible());
    driver_->Find<QAction>("PreviewAction")->trigger();
    driver_ = std::make_unique<test::WindowDriver>();
    QVERIFY(!driver_->Find<PreviewPane>("PreviewPane")->isVisible());
  }

  void showsAPictureScaledToFitWithItsPixelSizeAndState() {
    action_->setChecked(true);
    Select(GraphicsRow, "sunset.bmp");
    QTRY_COMPARE(Label("PreviewContentInfo"), QStringLiteral("640 × 400 pixels, BMP"));
    QCOMPARE(Label("PreviewName"), QStringLiteral("sunset.bmp"));
    QCOMPARE(Label("PreviewDetails"),
             QStringLiteral("Folder: /Pictures   ·   750.1 KB (768,054 bytes)   ·   MFT record %1")
                 .arg(image_.Get("/Pictures/sunset.bmp").Record));
    QCOMPARE(Label("PreviewState"), QStringLiteral("Good: none of its 188 clusters is used by another file"));
    auto* picture = pane_->findChild<PictureView*>("PreviewPicture");
    QCOMPARE(Current(), static_cast<QWidget*>(picture));
    const QSize shown = picture->Shown().size();
    QVERIFY2(shown.width() <= picture->width() && shown.height() <= picture->height(), "fits the pane");
    QCOMPARE(shown.width() * 400 / 640, shown.height());
    // The sun, in the picture's upper right: the generator draws it in (255, 222, 120).
    const QImage drawn = picture->Shown().toImage();
    QCOMPARE(drawn.pixelColor(drawn.width() * 70 / 100, drawn.height() * 52 / 100), QColor(255, 222, 120));

    // A picture partly written over says so, and shows what its clusters hold now.
    Select(GraphicsRow, "harbor.bmp");
    QTRY_COMPARE(Label("PreviewContentInfo"), QStringLiteral("480 × 320 pixels, BMP"));
    QCOMPARE(Label("PreviewState"), QStringLiteral("Partly overwritten: 37 of 113 clusters are used by other files now"));
  }

  void showsTextAsText() {
    action_->setChecked(true);
    Select(DocumentsRow, "letter.txt");
    QTRY_COMPARE(Label("PreviewContentInfo"), QStringLiteral("Text, UTF-8"));
    const std::vector<uint8_t> expected = test::ReadExpected(image_.Get("/Documents/letter.txt"));
    const auto* text = pane_->findChild<QPlainTextEdit*>("PreviewText");
    QCOMPARE(Current(), static_cast<const QWidget*>(text));
    QCOMPARE(text->toPlainText(), QString::fromLatin1(reinterpret_cast<const char*>(expected.data()),
                                                      static_cast<qsizetype>(expected.size())));
  }

  void showsOtherContentAsAHexDumpPageByPage() {
    action_->setChecked(true);
    Select(OtherRow, "archive.bin");
    QTRY_COMPARE(Label("PreviewContentInfo"), QStringLiteral("Bytes 0 to 65,535 of 102,400"));
    const std::vector<uint8_t> expected = test::ReadExpected(image_.Get("/Data/archive.bin"));
    auto* bytes = pane_->findChild<HexView*>("PreviewBytes");
    QCOMPARE(Current(), static_cast<QWidget*>(bytes));
    QCOMPARE(bytes->RowCount(), 4096);
    QCOMPARE(bytes->RowText(0).left(10 + 3 * 4), QStringLiteral("00000000  %1 %2 %3 %4 ")
                                                     .arg(expected[0], 2, 16, QChar(u'0'))
                                                     .arg(expected[1], 2, 16, QChar(u'0'))
                                                     .arg(expected[2], 2, 16, QChar(u'0'))
                                                     .arg(expected[3], 2, 16, QChar(u'0')));

    auto* next = pane_->findChild<QPushButton*>("PreviewNextPage");
    QVERIFY(next->isEnabled());
    QTest::mouseClick(next, Qt::LeftButton);
    QTRY_COMPARE(Label("PreviewContentInfo"), QStringLiteral("Bytes 65,536 to 102,399 of 102,400"));
    QVERIFY(!next->isEnabled());
    QVERIFY(bytes->RowText(0).startsWith(QStringLiteral("00010000  %1 ").arg(expected[65536], 2, 16, QChar(u'0'))));

    // A category is no file: the pane says what to do.
    driver_->Tree->setCurrentIndex(driver_->Root(OtherRow));
    QCOMPARE(Label("PreviewName"), QString());
    QCOMPARE(Label("PreviewMessage"), QStringLiteral("Select a file to see its content here."));
  }

  // A found file's record lies in the old MFT of a quick-formatted volume: its content is read
  // through the volume it was found in, not through the new MFT's.
  void showsAFoundFileFromTheVolumeItWasFoundIn() {
    driver_->Find<QCheckBox>("chkDeepScan")->setChecked(true);
    driver_->Window.AddImageFiles({QString::fromStdString(test::TestImagePath("quick-format").string())});
    driver_->ClickScanNow();
    action_->setChecked(true);
    Select(GraphicsRow, "IMG_2042.jpg");
    // Its picture data is noise after the header: the bytes it shows must be its own.
    QTRY_VERIFY(Label("PreviewContentInfo").endsWith(QStringLiteral("Bytes 0 to 65,535 of 389,120")));
    const std::vector<uint8_t> expected =
        test::ReadExpected(test::LoadTestImage("quick-format").Get("/Photos/2023 Summer/IMG_2042.jpg"));
    const auto* bytes = pane_->findChild<HexView*>("PreviewBytes");
    QCOMPARE(bytes->RowText(4096 - 1).left(10 + 3 * 2), QStringLiteral("0000fff0  %1 %2 ")
                                                            .arg(expected[0xfff0], 2, 16, QChar(u'0'))
                                                            .arg(expected[0xfff1], 2, 16, QChar(u'0')));
    QVERIFY2(Label("PreviewDetails").endsWith(QStringLiteral("(found)")), qPrintable(Label("PreviewDetails")));
  }

 private:
  void Select(int rootRow, const QString& name) {
    const QModelIndex file = driver_->FileIndex(rootRow, name);
    QVERIFY(file.isValid());
    driver_->Tree->setCurrentIndex(file);
  }
  QString Label(const char* name) { return pane_->findChild<QLabel*>(name)->text(); }
  const QWidget* Current() { return pane_->findChild<QStackedWidget*>()->currentWidget(); }

  QTemporaryDir settings_;
  test::TestImage image_;
  std::unique_ptr<test::WindowDriver> driver_;
  PreviewPane* pane_ = nullptr;
  QAction* action_ = nullptr;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::PreviewPaneTest)
#include "PreviewPaneTest.moc"
