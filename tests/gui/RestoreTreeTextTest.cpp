#include <QApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QTest>
#include <QTextDocumentFragment>
#include <QToolTip>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "engine/DateTime.h"
#include "tests/gui/ResultTreeFill.h"
#include "ui/RestoreTree.h"
#include "ui/RestoreTreeText.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

using test::AddFile;
using test::AddRoot;

const QLocale UnitedStates(QLocale::English, QLocale::UnitedStates);
const QLocale Germany(QLocale::German, QLocale::Germany);

double DateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0, int millisecond = 0) {
  return EncodeDateTime({year, month, day, hour, minute, second, millisecond});
}

}  // namespace

class RestoreTreeTextTest : public QObject {
  Q_OBJECT

 private slots:
  void dateTimeTextFollowsTheLocale_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("afternoon, US") << UnitedStates << DateTime(2021, 6, 15, 14, 5, 7) << "6/15/21 2:05:07 PM";
    QTest::newRow("afternoon, German") << Germany << DateTime(2021, 6, 15, 14, 5, 7) << "15.06.21 14:05:07";
    QTest::newRow("midnight shows the date alone") << Germany << DateTime(2022, 1, 11) << "11.01.22";
    QTest::newRow("milliseconds after midnight still show the date alone")
        << Germany << DateTime(2022, 1, 11, 0, 0, 0, 999) << "11.01.22";
    QTest::newRow("one second after midnight shows the time")
        << Germany << DateTime(2022, 1, 11, 0, 0, 1) << "11.01.22 00:00:01";
    QTest::newRow("the day the count starts") << Germany << 0.0 << "30.12.99";
    QTest::newRow("before the day the count starts") << Germany << DateTime(1850, 3, 1, 6, 0, 0) << "01.03.50 06:00:00";
    QTest::newRow("not a number") << Germany << std::numeric_limits<double>::quiet_NaN() << "";
    QTest::newRow("infinity") << Germany << std::numeric_limits<double>::infinity() << "";
    QTest::newRow("beyond the year 9999") << Germany << 3.0e6 << "";
    QTest::newRow("far out of range") << Germany << -1.0e300 << "";
  }

  void dateTimeTextFollowsTheLocale() {
    QFETCH(QLocale, locale);
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(DateTimeText(value, locale), text);
  }

  void fileCellsShowNameTimesAndSizeWithTheLocaleSeparators_data() {
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("US") << UnitedStates << QStringList{"photo.jpg", "6/15/21 2:05:07 PM", "1/11/22", "1.5 KB"};
    QTest::newRow("German") << Germany << QStringList{"photo.jpg", "15.06.21 14:05:07", "11.01.22", "1,5 KB"};
  }

  void fileCellsShowNameTimesAndSizeWithTheLocaleSeparators() {
    QFETCH(QLocale, locale);
    QFETCH(QStringList, cells);
    ResultTree tree;
    ResultNode* graphics = AddRoot(tree, u"Graphics Files");
    const ResultNode* photo =
        AddFile(tree, graphics, u"photo.jpg", DateTime(2021, 6, 15, 14, 5, 7), DateTime(2022, 1, 11), 1536);
    for (int column = rcFileName; column <= rcFileSize; ++column) {
      QCOMPARE(RestoreTreeGetText(tree, *photo, column, locale), cells.at(column));
    }
  }

  void sizesAboveAThousandBytesUseTheGroupSeparator() {
    ResultTree tree;
    const ResultNode* file = AddFile(tree, AddRoot(tree, u"Other Files"), u"a.bin", 0, 0, 1023);
    QCOMPARE(RestoreTreeGetText(tree, *file, rcFileSize, Germany), QStringLiteral("1.023 Bytes"));
    QCOMPARE(RestoreTreeGetText(tree, *file, rcFileSize, UnitedStates), QStringLiteral("1,023 Bytes"));
  }

  void fileCellsShowFolderAndStateWithTheNumbersInATooltip_data() {
    QTest::addColumn<quint64>("clusters");
    QTest::addColumn<quint64>("overwritten");
    QTest::addColumn<quint64>("unknown");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("toolTip");

    QTest::newRow("none in use") << quint64{1200} << quint64{0} << quint64{0} << "Good"
                                 << "0 of its 1,200 clusters are in use by other files";
    QTest::newRow("some in use") << quint64{12} << quint64{3} << quint64{0} << "Partly overwritten"
                                 << "3 of its 12 clusters are in use by other files";
    QTest::newRow("all in use") << quint64{12} << quint64{12} << quint64{0} << "Overwritten"
                                << "12 of its 12 clusters are in use by other files";
    QTest::newRow("content in the record") << quint64{0} << quint64{0} << quint64{0} << "Good"
                                           << "It has no clusters that other files could take";
    QTest::newRow("some past the bitmap") << quint64{64} << quint64{0} << quint64{8} << "Unknown"
                                          << "0 of its 64 clusters are in use by other files; of 8 the volume cannot tell";
    QTest::newRow("some in use, some past the bitmap")
        << quint64{64} << quint64{3} << quint64{8} << "Partly overwritten"
        << "3 of its 64 clusters are in use by other files; of 8 the volume cannot tell";
  }

  void fileCellsShowFolderAndStateWithTheNumbersInATooltip() {
    QFETCH(quint64, clusters);
    QFETCH(quint64, overwritten);
    QFETCH(quint64, unknown);
    QFETCH(QString, state);
    QFETCH(QString, toolTip);
    ResultTree tree;
    ResultNode* file = AddFile(tree, AddRoot(tree, u"Other Files"), u"a.bin");
    tree.SetFolder(file, "/Users/\xc3\xa5sa/Documents");
    tree.SetClusterUse(file, {clusters, overwritten, unknown});
    QCOMPARE(RestoreTreeGetText(tree, *file, rcFolder, UnitedStates), QStringLiteral(u"/Users/\u00e5sa/Documents"));
    QCOMPARE(RestoreTreeGetText(tree, *file, rcState, UnitedStates), state);
    QCOMPARE(StateToolTip(file->Clusters(), UnitedStates), toolTip);
  }

  void rootShowsItsCaptionAndFileCountWithoutABlankAndNothingElse() {
    ResultTree tree;
    ResultNode* music = AddRoot(tree, u"Music Files");
    QCOMPARE(RestoreTreeGetText(tree, *music, rcFileName, UnitedStates), QStringLiteral("Music Files(0)"));
    for (int number = 0; number < 12; ++number) AddFile(tree, music, u"song.mp3", 1.0, 1.0, 10);
    QCOMPARE(RestoreTreeGetText(tree, *music, rcFileName, UnitedStates), QStringLiteral("Music Files(12)"));
    // The files a filter hides do not count.
    tree.SetFilter([](const ResultNode& node) { return node.Data().IsFileEntry == 0; });
    QCOMPARE(RestoreTreeGetText(tree, *music, rcFileName, UnitedStates), QStringLiteral("Music Files(0)"));
    for (int column = rcCreateTime; column <= rcState; ++column) {
      QCOMPARE(RestoreTreeGetText(tree, *music, column, UnitedStates), QString());
    }
  }

  // Only a cell that the column cuts off shows a tooltip, and it holds the whole text.
  void aNameCutOffByItsColumnShowsWholeInATooltip() {
    const std::u16string longName = u"a name much longer than the file name column is wide, to be cut off.bin";
    ListOf view({longName, u"short.bin"});
    view.AskForTooltip(1);
    QVERIFY(!QToolTip::isVisible());
    view.AskForTooltip(0);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(ToolTipText(), QString::fromStdU16String(longName));
    view.header()->resizeSection(rcFileName, view.header()->sectionSize(rcFileName) * 3);
    view.AskForTooltip(0);
    QTRY_VERIFY(!QToolTip::isVisible());
  }

  // The longest name NTFS allows, without a blank: its tooltip fits on the screen, in lines.
  void aTooltipOfTheLongestNameIsWrappedToFitTheScreen() {
    const std::u16string longest = std::u16string(251, u'w') + u".bin";
    ListOf view({longest});
    view.AskForTooltip(0);
    QVERIFY(QToolTip::isVisible());
    QCOMPARE(ToolTipText(), QString::fromStdU16String(longest));
    const QWidget* tip = nullptr;
    for (const QWidget* widget : QApplication::topLevelWidgets()) {
      if (widget->objectName() == QStringLiteral("qtooltip_label") && widget->isVisible()) tip = widget;
    }
    QVERIFY(tip != nullptr);
    QVERIFY2(tip->width() <= view.screen()->availableGeometry().width(), qPrintable(QString::number(tip->width())));
    QVERIFY(tip->height() > 2 * tip->fontMetrics().height());
  }

 private:
  // One category, opened, with a file of each name.
  class ListOf : public RestoreTree {
   public:
    explicit ListOf(const std::vector<std::u16string>& names) {
      ResultNode* root = AddRoot(Tree(), u"Other Files");
      for (const std::u16string& name : names) AddFile(Tree(), root, name);
      Model().AnnounceNewRows();
      expandAll();
      show();
      QVERIFY(QTest::qWaitForWindowExposed(this));
    }

    void AskForTooltip(int row) {
      const QModelIndex index = Model().index(row, rcFileName, Model().index(0, rcFileName));
      const QPoint at = visualRect(index).center();
      QHelpEvent help(QEvent::ToolTip, at, viewport()->mapToGlobal(at));
      QCoreApplication::sendEvent(viewport(), &help);
    }
  };

  // What the tooltip reads, its lines joined again.
  static QString ToolTipText() {
    return QTextDocumentFragment::fromHtml(QToolTip::text()).toPlainText().remove(QChar::LineSeparator).remove(u'\n');
  }
};

}  // namespace salvoran

QTEST_MAIN(salvoran::RestoreTreeTextTest)
#include "RestoreTreeTextTest.moc"
