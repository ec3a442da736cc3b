#include <unistd.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QSignalSpy>
#include <QStatusBar>
#include <QStyle>
#include <QTest>
#include <QTimeZone>
#include <filesystem>
#include <map>

#include "support/FormatFileSize.h"
#include "engine/DeletedFileScan.h"
#include "support/StringTable.h"
#include "tests/fixtures/TestImages.h"
#include "tests/gui/GuiTestVolume.h"
#include "tests/gui/WindowDriver.h"
#include "tests/support/TempDir.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

using test::SampleFile;
using test::WarningRecorder;
using test::WindowDriver;

constexpr int LargeRecordCount = 3000;
constexpr int StopAfterRecords = 512;
const QStringList RootCaptions = {"Graphics Files", "Music Files", "Video Files",
                                  "Document Files", "HTML Files",  "Other Files"};
const QStringList EmptyRoots = {"Graphics Files(0)", "Music Files(0)", "Video Files(0)",
                                "Document Files(0)", "HTML Files(0)",  "Other Files(0)"};
// The generator's names of the categories, in the order of the roots.
const QStringList ManifestCategories = {"graphics", "music", "video", "documents", "html", "other"};

// The scan shows local times and the tests run in UTC; written out here without the code under test.
QString UsDateTime(int64_t unixSeconds) {
  const QDateTime time = QDateTime::fromSecsSinceEpoch(unixSeconds, QTimeZone::utc());
  const QString format = time.time() == QTime(0, 0) ? QStringLiteral("M/d/yy") : QStringLiteral("M/d/yy h:mm:ss AP");
  return QLocale(QLocale::English, QLocale::UnitedStates).toString(time, format);
}

QImage IconOf(const QModelIndex& index) {
  return qvariant_cast<QIcon>(index.data(Qt::DecorationRole)).pixmap(16).toImage();
}

// Every user record of the MFT a deleted file, all of them in one category.
std::vector<SampleFile> ManyFiles(int count) {
  std::vector<SampleFile> files;
  for (int number = 0; number < count; ++number) {
    files.push_back({u"data" + QString::number(number).toStdU16String() + u".bin"});
  }
  return files;
}

}  // namespace

class MainWindowScanTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // The scan shows local times; the tests run in UTC.
    QCOMPARE(qgetenv("TZ"), QByteArray("UTC"));
  }

  void init() { warnings_ = std::make_unique<WarningRecorder>(); }
  void cleanup() { warnings_.reset(); }

  void scanListsTheDeletedFilesOfAnImageUnderTheirCategories_data() {
    QTest::addColumn<QString>("imageName");
    QTest::addColumn<QString>("disk");  // a disk image holding the volume, or empty
    QTest::addColumn<int>("entry");     // of the drive box
    QTest::newRow("standard volume, 4 KiB clusters") << "standard-4k" << QString() << 0;
    QTest::newRow("demo volume") << "demo" << QString() << 0;
    QTest::newRow("logical partition of a disk image") << "fragmented-mft" << "disk-mbr" << 1;
  }

  void scanListsTheDeletedFilesOfAnImageUnderTheirCategories() {
    QFETCH(QString, imageName);
    QFETCH(QString, disk);
    QFETCH(int, entry);
    const test::TestImage image = test::LoadTestImage(imageName.toStdString());
    const std::string source = disk.isEmpty() ? image.Image.string() : test::TestImagePath(disk.toStdString()).string();
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(source)});
    driver.Drives->setCurrentIndex(entry);
    driver.ClickScanNow();

    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
    std::map<int, std::vector<const test::ManifestFile*>> byRoot;
    for (const test::ManifestFile* file : image.ListedDeletedFiles()) {
      byRoot[static_cast<int>(ManifestCategories.indexOf(QString::fromStdString(file->Category)))].push_back(file);
    }
    QStringList rootTexts;
    for (int root = 0; root < ManifestCategories.size(); ++root) {
      rootTexts.append(RootCaptions[root] + QStringLiteral("(%1)").arg(byRoot[root].size()));
    }
    QCOMPARE(driver.RootTexts(), rootTexts);

    const QImage folder = QApplication::style()->standardIcon(QStyle::SP_DirIcon).pixmap(16).toImage();
    const QImage document = QApplication::style()->standardIcon(QStyle::SP_FileIcon).pixmap(16).toImage();
    for (const auto& [rootRow, files] : byRoot) {
      const QModelIndex root = driver.Root(rootRow);
      QCOMPARE(IconOf(root), folder);
      for (int column = rcCreateTime; column <= rcFileSize; ++column)
        QCOMPARE(root.siblingAtColumn(column).data().toString(), QString());
      QStringList expected;
      for (const test::ManifestFile* file : files) {
        expected.append(QStringList{
            QString::fromStdString(file->Name), UsDateTime(file->Times.Created), UsDateTime(file->Times.Modified),
            QString::fromStdString(FormatFileSize(static_cast<int64_t>(file->Size), {",", "."}))}
                            .join(" | "));
      }
      QStringList listed;
      for (int row = 0; row < driver.Model().rowCount(root); ++row) {
        const QModelIndex file = driver.Model().index(row, 0, root);
        QCOMPARE(IconOf(file), document);
        QCOMPARE(file.data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
        QStringList cells;
        for (int column = rcFileName; column <= rcFileSize; ++column)
          cells.append(file.siblingAtColumn(column).data().toString());
        listed.append(cells.join(" | "));
      }
      expected.sort();
      listed.sort();
      QCOMPARE(listed, expected);
    }

    QVERIFY(driver.Recovery->isEnabled());
    QVERIFY(driver.ScanNow->isEnabled());
    QVERIFY(driver.Progress->isHidden());
    QVERIFY(driver.StopScan->isHidden());
    QCOMPARE(driver.Window.Geometry().DrivePath.Path, source);
    QCOMPARE(driver.Window.Geometry().DrivePath.Partition.has_value(), !disk.isEmpty());
    QVERIFY(driver.Window.Geometry().RecordCount >= image.MftRecords);

    driver.ClickScanNow();  // a second scan replaces the first one's results
    QCOMPARE(driver.RootTexts(), rootTexts);
  }

  void windowStaysLiveWhileTheScanRuns() {
    const std::filesystem::path image = folder_.Path() / "large.img";
    test::WriteVolumeImage(image, ManyFiles(LargeRecordCount - FirstUserRecord));
    WindowDriver driver;
    QAbstractItemModelTester tester(&driver.Model(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    driver.Window.AddImageFiles({QString::fromStdString(image.string())});
    QList<int> countsSeen;
    bool ticked = false;
    bool scanControlsShown = true;
    QPersistentModelIndex other;  // moves when the roots are sorted
    driver.WhileScanning([&] {
      if (!other.isValid()) other = driver.Root(5);
      countsSeen.append(driver.Model().rowCount(other));
      scanControlsShown = scanControlsShown && driver.StopScan->isVisible() && driver.Progress->isVisible() &&
                          !driver.ScanNow->isEnabled() && !driver.Recovery->isEnabled();
      if (!ticked && countsSeen.last() > 0) {
        // Ticking, browsing and sorting work between two batches; files found later join the
        // ticked category.
        driver.Tree->expand(other);
        driver.Model().setData(other, Qt::Checked, Qt::CheckStateRole);
        driver.Tree->RestoreTreeHeaderClick(rcFileName);
        ticked = true;
      }
      return true;
    });
    driver.ClickScanNow();

    QVERIFY2(countsSeen.size() > 3, "the scan handled events at its pauses");
    QVERIFY(scanControlsShown);
    QVERIFY(std::is_sorted(countsSeen.begin(), countsSeen.end()));
    // Files show before the scan ends (a few times a second once the list is full).
    QVERIFY(countsSeen.last() > 0);
    QCOMPARE(other.row(), 1);  // sorted by name, descending
    QCOMPARE(other.data().toString(), QStringLiteral("Other Files(%1)").arg(LargeRecordCount - FirstUserRecord));
    QCOMPARE(other.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(driver.Tree->Tree().CountInCheckState(csCheckedNormal), size_t(LargeRecordCount - FirstUserRecord + 1));
    QVERIFY(driver.Tree->isExpanded(other));
  }

  void stopEndsTheScanAtTheNextMultipleOf256Records() {
    const std::filesystem::path image = folder_.Path() / "large.img";
    test::WriteVolumeImage(image, ManyFiles(LargeRecordCount - FirstUserRecord));
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(image.string())});
    int stoppedAt = -1;
    driver.WhileScanning([&] {
      if (driver.Progress->value() < StopAfterRecords) return true;
      stoppedAt = driver.Progress->value();
      QTest::mouseClick(driver.StopScan, Qt::LeftButton);
      return false;
    });
    driver.ClickScanNow();

    QCOMPARE(stoppedAt % ProgressInterval, 0);
    QVERIFY(stoppedAt < LargeRecordCount);
    QCOMPARE(driver.Model().rowCount(driver.Root(5)), stoppedAt - FirstUserRecord);
    QVERIFY(driver.Recovery->isEnabled());
    QVERIFY(driver.ScanNow->isEnabled());
    QVERIFY(driver.StopScan->isHidden());
    QVERIFY(driver.Progress->isHidden());
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{});
    // The list says that it holds only part of the volume's files.
    const auto* stopped = driver.Find<QLabel>("ScanStopped");
    QVERIFY(stopped != nullptr);
    QVERIFY(stopped->isVisible());
    QCOMPARE(stopped->text().toStdString(), strings::ScanStoppedNote);

    driver.ClickScanNow();  // the stop of the last scan does not stop the next one
    QCOMPARE(driver.Model().rowCount(driver.Root(5)), LargeRecordCount - FirstUserRecord);
    QVERIFY(!stopped->isVisible());
  }

  // The files a scan adds to a category ticked while it runs come ticked, and the list hears of
  // check marks only for rows it shows: none of a closed category, whatever the scan adds.
  void aCategoryTickedDuringTheScanTicksTheFilesStillToCome() {
    const std::filesystem::path image = folder_.Path() / "mixed.img";
    std::vector<SampleFile> files;
    int otherFiles = 0;
    for (int number = FirstUserRecord; number < LargeRecordCount; ++number) {
      const bool picture = number % 2 == 1;
      otherFiles += picture ? 0 : 1;
      files.push_back({u"file" + QString::number(number).toStdU16String() + (picture ? u".jpg" : u".bin")});
    }
    test::WriteVolumeImage(image, files);
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(image.string())});
    constexpr int GraphicsRow = 0;
    constexpr int OtherRow = 5;
    QSignalSpy changed(&driver.Model(), &QAbstractItemModel::dataChanged);
    bool ticked = false;
    driver.WhileScanning([&] {
      if (driver.Model().rowCount(driver.Root(OtherRow)) == 0) return true;
      driver.Tree->expand(driver.Root(GraphicsRow));
      changed.clear();
      ticked = driver.Model().setData(driver.Root(OtherRow), Qt::Checked, Qt::CheckStateRole);
      return false;
    });
    driver.ClickScanNow();

    QVERIFY(ticked);
    const QModelIndex other = driver.Root(OtherRow);
    QCOMPARE(driver.Model().rowCount(other), otherFiles);
    QCOMPARE(other.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    for (int row = 0; row < driver.Model().rowCount(other); ++row) {
      QCOMPARE(driver.Model().index(row, 0, other).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    }
    for (const QList<QVariant>& change : changed) {
      const auto roles = change.at(2).value<QList<int>>();
      if (roles.contains(Qt::CheckStateRole)) QVERIFY(!change.at(0).value<QModelIndex>().parent().isValid());
    }
  }

  void closingDuringAScanStopsItAndClosesOnceItHasReturned() {
    const std::filesystem::path image = folder_.Path() / "large.img";
    test::WriteVolumeImage(image, ManyFiles(LargeRecordCount - FirstUserRecord));
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(image.string())});
    int closedAt = -1;
    bool stillOpen = false;
    driver.WhileScanning([&] {
      if (driver.Progress->value() < StopAfterRecords) return true;
      closedAt = driver.Progress->value();
      driver.Window.close();
      stillOpen = driver.Window.isVisible();
      return false;
    });
    driver.ClickScanNow();

    QVERIFY(stillOpen);
    QVERIFY(!driver.Window.isVisible());
    QCOMPARE(driver.Model().rowCount(driver.Root(5)), closedAt - FirstUserRecord);
  }

  void scanFailuresAreShownAndLeaveSixEmptyCategories_data() {
    QTest::addColumn<QString>("drive");  // empty: no drive in the list
    QTest::addColumn<QString>("warning");

    QTest::newRow("not NTFS") << QString::fromStdString(test::TestImagePath("fat32.img").string())
                              << "The current version only support NTFS drive!";
    QTest::newRow("missing image") << "/nonexistent/missing.img"
                                   << "Fail to open the driver to scan: No such file or directory";
  }

  void scanFailuresAreShownAndLeaveSixEmptyCategories() {
    QFETCH(QString, drive);
    QFETCH(QString, warning);
    WindowDriver driver;
    driver.Window.AddImageFiles({drive});
    driver.ClickScanNow();

    QCOMPARE(warnings_->Warnings, std::vector<std::string>{warning.toStdString()});
    QCOMPARE(driver.RootTexts(), EmptyRoots);
    QVERIFY(driver.Recovery->isEnabled());
    QVERIFY(driver.ScanNow->isEnabled());
    QVERIFY(driver.Progress->isHidden());
    QVERIFY(driver.StopScan->isHidden());
  }

  void scanNowWithAnEmptyDriveListSaysHowToAddAVolume() {
    WindowDriver driver;
    driver.ClickScanNow();
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{std::string(strings::NothingToScanMessage)});
    QCOMPARE(driver.Model().rowCount(), 0);
    QVERIFY(!driver.Recovery->isEnabled());
    QVERIFY(driver.ScanNow->isEnabled());
  }

  void anImageWithoutReadPermissionShowsTheSystemsReason() {
    if (::geteuid() == 0) QSKIP("root reads any file");
    const std::filesystem::path image = folder_.Path() / "locked.img";
    test::WriteVolumeImage(image, {{u"a.txt"}});
    std::filesystem::permissions(image, std::filesystem::perms::none);
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(image.string())});
    driver.ClickScanNow();
    QCOMPARE(warnings_->Warnings, std::vector<std::string>{"Fail to open the driver to scan: Permission denied"});
  }

  void unreadableRecordsAreCountedInTheStatusBar() {
    const std::filesystem::path image = folder_.Path() / "short.img";
    constexpr int RecordCount = 1024;
    constexpr int LastReadable = 700;
    test::WriteTruncatedVolumeImage(image, ManyFiles(100), RecordCount, LastReadable);
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(image.string())});
    driver.ClickScanNow();

    QCOMPARE(driver.RootTexts().last(), QStringLiteral("Other Files(100)"));
    auto* unreadable = driver.Find<QLabel>("UnreadableRecords");
    QVERIFY(unreadable->isVisible());
    QCOMPARE(unreadable->text(),
             QStringLiteral("MFT records that could not be read: %1").arg(RecordCount - LastReadable - 1));

    test::WriteVolumeImage(image, ManyFiles(100), RecordCount);
    driver.ClickScanNow();
    QVERIFY(unreadable->isHidden());
  }

  void aVolumeReadThroughACopySaysSoInTheStatusBar() {
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(test::TestImagePath("demo-first-sector-wiped").string())});
    driver.ClickScanNow();
    QVERIFY(warnings_->Warnings.empty());
    QCOMPARE(driver.RootTexts().first(), QStringLiteral("Graphics Files(5)"));
    auto* note = driver.Find<QLabel>("RepairNote");
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(),
             QStringLiteral("The volume's boot sector is damaged: its backup copy at the volume's end was used."));

    driver.Window.AddImageFiles({QString::fromStdString(test::TestImagePath("demo").string())});
    driver.ClickScanNow();
    QVERIFY(note->isHidden());
  }

  void aDeepScanListsTheFilesOfAFormattedVolumeAsFound() {
    WindowDriver driver;
    auto* deep = driver.Find<QCheckBox>("chkDeepScan");
    QCOMPARE(deep->text(), QStringLiteral("Deep scan"));
    QVERIFY(!deep->isChecked());
    driver.Window.AddImageFiles({QString::fromStdString(test::TestImagePath("quick-format").string())});
    driver.ClickScanNow();
    QCOMPARE(driver.RootTexts(), EmptyRoots);  // the new MFT has nothing

    deep->setChecked(true);
    driver.ClickScanNow();
    QVERIFY(warnings_->Warnings.empty());
    QCOMPARE(driver.RootTexts(), (QStringList{"Graphics Files(9)", "Music Files(4)", "Video Files(2)",
                                              "Document Files(7)", "HTML Files(3)", "Other Files(5)"}));
    const QModelIndex photo = driver.FileIndex(0, QStringLiteral("IMG_2042.jpg"));
    QCOMPARE(photo.siblingAtColumn(rcFolder).data().toString(), QStringLiteral("/Photos/2023 Summer"));
    QCOMPARE(photo.siblingAtColumn(rcState).data().toString(), QStringLiteral("Good (found)"));
  }

  // The first block holds the old MFT: a stop after it keeps every file of it.
  void aStopDuringTheDeepScanKeepsWhatWasFound() {
    WindowDriver driver;
    driver.Find<QCheckBox>("chkDeepScan")->setChecked(true);
    driver.Window.AddImageFiles({QString::fromStdString(test::TestImagePath("quick-format").string())});
    QString progress;
    driver.WhileScanning([&] {
      if (!driver.Progress->text().contains(QStringLiteral("files found"))) return true;
      progress = driver.Progress->text();
      QTest::mouseClick(driver.StopScan, Qt::LeftButton);
      return false;
    });
    driver.ClickScanNow();
    QVERIFY2(progress.startsWith(QStringLiteral("4.0 MB of 16.0 MB read, ")), qPrintable(progress));
    QCOMPARE(driver.RootTexts().first(), QStringLiteral("Graphics Files(9)"));
  }

  void recoverButtonFollowsTheCurrentNode() {
    const std::filesystem::path image = folder_.Path() / "sample.img";
    test::WriteVolumeImage(image, {{u"song.mp3"}});
    WindowDriver driver;
    driver.Window.AddImageFiles({QString::fromStdString(image.string())});
    driver.ClickScanNow();
    QVERIFY(driver.Recovery->isEnabled());

    driver.Tree->setCurrentIndex(QModelIndex());
    QVERIFY(!driver.Recovery->isEnabled());
    driver.Tree->setCurrentIndex(driver.Root(0));  // an empty category counts
    QVERIFY(driver.Recovery->isEnabled());
    driver.Tree->setCurrentIndex(QModelIndex());
    driver.Tree->setCurrentIndex(driver.Model().index(0, 0, driver.Root(1)));
    QVERIFY(driver.Recovery->isEnabled());
  }

 private:
  test::TempDir folder_;
  std::unique_ptr<WarningRecorder> warnings_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::MainWindowScanTest)
#include "MainWindowScanTest.moc"
