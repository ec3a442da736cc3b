#include <QTest>
#include <cmath>
#include <limits>

#include "engine/DateTime.h"
#include "tests/gui/ResultTreeFill.h"
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

  void rootShowsItsCaptionAndFileCountWithoutABlankAndNothingElse() {
    ResultTree tree;
    ResultNode* music = AddRoot(tree, u"Music Files");
    QCOMPARE(RestoreTreeGetText(tree, *music, rcFileName, UnitedStates), QStringLiteral("Music Files(0)"));
    for (int number = 0; number < 12; ++number) AddFile(tree, music, u"song.mp3", 1.0, 1.0, 10);
    QCOMPARE(RestoreTreeGetText(tree, *music, rcFileName, UnitedStates), QStringLiteral("Music Files(12)"));
    for (int column = rcCreateTime; column <= rcFileSize; ++column) {
      QCOMPARE(RestoreTreeGetText(tree, *music, column, UnitedStates), QString());
    }
  }
};

}  // namespace salvoran

QTEST_MAIN(salvoran::RestoreTreeTextTest)
#include "RestoreTreeTextTest.moc"
