#include <QApplication>
#include <QDesktopServices>
#include <QDropEvent>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QUrl>
#include <filesystem>

#include "support/Diagnostics.h"
#include "support/StringTable.h"
#include "tests/fixtures/TestImages.h"
#include "tests/gui/WindowDriver.h"
#include "tests/support/TempDir.h"
#include "ui/ImageLabel.h"
#include "ui/MessageBoxWarning.h"
#include "ui/WebPage.h"

namespace salvoran {
namespace {

using test::WindowDriver;

// Stands in for the desktop's browser.
class UrlCatcher : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> Opened;

 public slots:
  void Open(const QUrl& url) { Opened.append(url); }
};

}  // namespace

class MainWindowControlsTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QDesktopServices::setUrlHandler("http", &urls_, "Open");
    QDesktopServices::setUrlHandler("https", &urls_, "Open");
  }
  void cleanupTestCase() {
    QDesktopServices::unsetUrlHandler("http");
    QDesktopServices::unsetUrlHandler("https");
  }
  void init() { urls_.Opened.clear(); }

  void driveListOffersTheFixedVolumesWithTheFirstSelected() {
    WindowDriver driver({"/dev/sda1", "/dev/sdb2"});
    QCOMPARE(driver.Drives->count(), 2);
    QCOMPARE(driver.Drives->currentText(), QStringLiteral("/dev/sda1"));
    QVERIFY(!driver.Drives->isEditable());
  }

  void emptyDriveListSelectsNothing() {
    WindowDriver driver;
    QCOMPARE(driver.Drives->count(), 0);
    QCOMPARE(driver.Drives->currentIndex(), -1);
    QCOMPARE(driver.Drives->currentText(), QString());
  }

  void imageFilesGoAboveTheDrivesWithTheFirstSelected() {
    WindowDriver driver({"/dev/sda1"});
    driver.Window.AddImageFiles({"/images/one.img", "/images/two.img"});
    QCOMPARE(Items(driver), (QStringList{"/images/one.img", "/images/two.img", "/dev/sda1"}));
    QCOMPARE(driver.Drives->currentText(), QStringLiteral("/images/one.img"));

    driver.Window.AddImageFiles({"/images/two.img"});  // moves up, not twice in the list
    QCOMPARE(Items(driver), (QStringList{"/images/two.img", "/images/one.img", "/dev/sda1"}));
    QCOMPARE(driver.Drives->currentText(), QStringLiteral("/images/two.img"));
  }

  void drivesShowDeviceLabelAndSizeWhileTheLocationIsThePath() {
    WindowDriver driver(std::vector<DriveEntry>{{"/dev/sdb1", "DATA", 500107862016}, {"/dev/sdc1", "", 0}}, nullptr,
                        SystemBeep);
    QCOMPARE(Items(driver), (QStringList{QString::fromUtf8("/dev/sdb1 \u2014 DATA (465.8 GB)"), "/dev/sdc1"}));
    QCOMPARE(driver.Drives->itemData(0).value<VolumeLocation>(), VolumeLocation("/dev/sdb1"));
  }

  void aDiskImageComesInAsItsNtfsPartitions() {
    const QString disk = QString::fromStdString(test::TestImagePath("disk-mbr").string());
    WindowDriver driver({"/dev/sda1"});
    driver.Window.AddImageFiles({disk});
    driver.Window.AddImageFiles({disk});  // not twice
    QCOMPARE(Items(driver), (QStringList{disk + QString::fromUtf8(" \u2014 partition 1 \u2014 DEMO (16.0 MB)"),
                                         disk + QString::fromUtf8(" \u2014 partition 5 \u2014 FRAGMFT (8.0 MB)"),
                                         "/dev/sda1"}));
    const VolumeLocation logical = driver.Drives->itemData(1).value<VolumeLocation>();
    QCOMPARE(logical.Path, disk.toStdString());
    QVERIFY(logical.Partition.has_value());
    QCOMPARE(logical.Partition->Number, 5u);
  }

  void openImageAddsTheChosenFilesAboveTheDrives() {
    const QString image = QString::fromStdString(test::TestImagePath("demo").string());
    WindowDriver driver({"/dev/sda1"});
    driver.Window.SetImageFileChooser([] { return QStringList(); });  // cancelled
    QTest::mouseClick(driver.Find<QPushButton>("btnOpenImage"), Qt::LeftButton);
    QCOMPARE(Items(driver), QStringList{"/dev/sda1"});
    driver.Window.SetImageFileChooser([image] { return QStringList{image}; });
    driver.Window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&driver.Window));
    QTest::keyClick(&driver.Window, Qt::Key_O, Qt::ControlModifier);
    // A volume image shows its label and size, as the partitions of a disk image do.
    QCOMPARE(Items(driver), (QStringList{image + QString::fromUtf8(" \u2014 DEMO (16.0 MB)"), "/dev/sda1"}));
    QCOMPARE(driver.Drives->currentIndex(), 0);
  }

  void droppingAnImageFileOnTheWindowSelectsIt() {
    const std::filesystem::path image = test::TestImagePath("demo.img");
    WindowDriver driver({"/dev/sda1"});
    QVERIFY(driver.Window.acceptDrops());
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(QString::fromStdString(image.string())), QUrl("http://example.org/x.img")});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&driver.Window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&driver.Window, &drop);
    const QString caption = QString::fromStdString(image.string()) + QString::fromUtf8(" \u2014 DEMO (16.0 MB)");
    QCOMPARE(Items(driver), (QStringList{caption, "/dev/sda1"}));
    QCOMPARE(driver.Drives->currentIndex(), 0);
  }

  void dragsWithoutALocalFileAreRefused() {
    WindowDriver driver;
    QMimeData mime;
    mime.setUrls(
        {QUrl("http://example.org/x.img"), QUrl::fromLocalFile(QString::fromStdString(folder_.Path().string()))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    enter.ignore();
    QApplication::sendEvent(&driver.Window, &enter);
    QVERIFY(!enter.isAccepted());
  }

  void webPageOpensOnlyForAnHttpAddress_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("opened");  // empty: nothing opened

    QTest::newRow("plain") << "http://www.example.com/x"
                           << "http://www.example.com/x";
    QTest::newRow("blanks around it") << "  http://www.example.com/x "
                                      << "http://www.example.com/x";
    QTest::newRow("capitals") << "HTTP://WWW.EXAMPLE.COM/"
                              << "http://www.example.com/";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks only") << "   "
                                 << "";
    QTest::newRow("no scheme") << "www.example.com"
                               << "";
    QTest::newRow("secure scheme") << "https://www.example.com/"
                                   << "";
  }

  void webPageOpensOnlyForAnHttpAddress() {
    QFETCH(QString, address);
    QFETCH(QString, opened);
    OpenWebPage(address);
    QCOMPARE(urls_.Opened.isEmpty(), opened.isEmpty());
    if (!opened.isEmpty()) QCOMPARE(urls_.Opened.first(), QUrl(opened));
  }

  void logoClickOpensTheProductPage() {
    WindowDriver driver;
    auto* logo = driver.Find<ImageLabel>("imgLogo");
    QCOMPARE(logo->size(), QSize(185, 70));
    QVERIFY(!logo->pixmap().isNull());
    QTest::mouseClick(logo, Qt::LeftButton);
    QCOMPARE(urls_.Opened, QList<QUrl>{QUrl(QString::fromUtf8(strings::WebPageAddress.data()))});
  }

  void statusBarShowsTheProductPage() {
    WindowDriver driver;
    QCOMPARE(driver.Find<QLabel>("StatusBarText")->text(), QString::fromUtf8(strings::WebPageAddress.data()));
    QCOMPARE(driver.Window.windowTitle(), QStringLiteral("Corvath Salvoran FREE"));
  }

  // The drive box takes the room the window gains, for the long captions of image files; the
  // buttons beside it move along.
  void treeRecoverButtonAndDriveBoxFollowTheWindowsEdges() {
    WindowDriver driver;
    QVERIFY(QTest::qWaitForWindowExposed(&driver.Window));
    const QRect scanNow = driver.ScanNow->geometry();
    const QRect combo = driver.Drives->geometry();
    const QRect tree = driver.Tree->geometry();
    const QPoint recovery = driver.Recovery->mapTo(&driver.Window, QPoint());
    const QSize grow(120, 90);
    driver.Window.resize(driver.Window.size() + grow);
    QApplication::processEvents();
    QCOMPARE(driver.ScanNow->geometry(), scanNow.translated(grow.width(), 0));
    QCOMPARE(driver.Drives->geometry(), combo.adjusted(0, 0, grow.width(), 0));
    QCOMPARE(driver.Tree->geometry().topLeft(), tree.topLeft());
    QCOMPARE(driver.Tree->geometry().size(), tree.size() + grow);
    QCOMPARE(driver.Recovery->mapTo(&driver.Window, QPoint()), recovery + QPoint(grow.width(), grow.height()));
  }

  void labelsAreNotClippedAtTheSmallestWindowSize() {
    WindowDriver driver;
    driver.Window.resize(driver.Window.minimumSize());
    QApplication::processEvents();
    for (QAbstractButton* button :
         {static_cast<QAbstractButton*>(driver.ScanNow), static_cast<QAbstractButton*>(driver.Recovery)}) {
      QVERIFY2(button->width() >= button->sizeHint().width(), qPrintable(button->text()));
    }
    auto* label = driver.Find<QLabel>("lblScanDrive");
    QVERIFY(label->width() >= label->sizeHint().width());
    auto* tips = driver.Find<QLabel>("lblTips");
    QVERIFY(tips->height() >= tips->heightForWidth(tips->width()));
  }

  // All the columns show at the size the window opens with; long names may be cut off.
  void everyColumnShowsAtTheDefaultSize() {
    WindowDriver driver;
    QVERIFY(QTest::qWaitForWindowExposed(&driver.Window));
    const QHeaderView* header = driver.Tree->header();
    const int visibleWidth = driver.Tree->viewport()->width();
    QCOMPARE(header->count(), ResultTreeModel::ColumnCount);
    for (int column = 0; column < header->count(); ++column) {
      const QString caption = driver.Model().headerData(column, Qt::Horizontal).toString();
      const int end = header->sectionViewportPosition(column) + header->sectionSize(column);
      QVERIFY2(end <= visibleWidth, qPrintable(QStringLiteral("%1 ends at %2 of %3").arg(caption).arg(end).arg(visibleWidth)));
      QVERIFY2(header->sectionSize(column) >= header->fontMetrics().horizontalAdvance(caption), qPrintable(caption));
    }
  }

  // Enter on a focused button presses it, as Space does.
  void enterPressesTheFocusedButton() {
    const QString image = QString::fromStdString(test::TestImagePath("demo").string());
    WindowDriver driver;
    int chosen = 0;
    driver.Window.SetImageFileChooser([&chosen] {
      ++chosen;
      return QStringList();
    });
    QTest::keyClick(driver.Find<QPushButton>("btnOpenImage"), Qt::Key_Return);
    QCOMPARE(chosen, 1);
    driver.Window.AddImageFiles({image});
    QTest::keyClick(driver.ScanNow, Qt::Key_Enter);
    QCOMPARE(driver.Model().rowCount(), 6);
    driver.Tree->setCurrentIndex(driver.Root(0));
    QVERIFY(driver.Recovery->isEnabled());
    QSignalSpy pressed(driver.Recovery, &QPushButton::clicked);
    QTest::keyClick(driver.Recovery, Qt::Key_Return);
    QCOMPARE(pressed.count(), 1);
  }

  void warningsShowAMessageBoxTitledWarning() {
    const WarningHandler previous = SetWarningHandler(nullptr);
    InstallMessageBoxWarning();
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      title = box->windowTitle();
      text = box->text();
      box->accept();
    });
    ShowWarning("Fail to open the driver to scan: Permission denied");
    SetWarningHandler(previous);
    QCOMPARE(title, QStringLiteral("Warning"));
    QCOMPARE(text, QStringLiteral("Fail to open the driver to scan: Permission denied"));
  }

 private:
  static QStringList Items(WindowDriver& driver) {
    QStringList items;
    for (int row = 0; row < driver.Drives->count(); ++row) items.append(driver.Drives->itemText(row));
    return items;
  }

  test::TempDir folder_;
  UrlCatcher urls_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::MainWindowControlsTest)
#include "MainWindowControlsTest.moc"
