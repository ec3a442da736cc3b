#include <QHeaderView>
#include <QTest>

#include "engine/DateTime.h"
#include "tests/gui/ResultTreeFill.h"
#include "ui/RestoreTree.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

using test::AddFile;
using test::AddRoot;

const QStringList CategoryOrder = {"Graphics Files", "Music Files", "Video Files",
                                   "Document Files", "HTML Files",  "Other Files"};

double Day(int day, double fraction) { return EncodeDateTime({2020, 3, day, 0, 0, 0, 0}) + fraction; }

}  // namespace

class RestoreTreeSortTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    view_ = std::make_unique<RestoreTree>();
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
  }
  void cleanup() { view_.reset(); }

  void headerClicksFlipOneDirectionSharedByAllColumns() {
    ResultTree& tree = view_->Tree();
    ResultNode* other = AddRoot(tree, u"Other Files");
    AddFile(tree, other, u"b.txt", Day(2, 0), Day(2, 0), 300);
    AddFile(tree, other, u"c.txt", Day(1, 0), Day(1, 0), 100);
    AddFile(tree, other, u"a.txt", Day(3, 0), Day(3, 0), 200);
    view_->Model().AnnounceNewRows();

    ClickHeader(rcFileName);
    QCOMPARE(tree.SortDirection(), sdDescending);
    QCOMPARE(tree.SortColumn(), int(rcFileName));
    QCOMPARE(Names(other), (QStringList{"c.txt", "b.txt", "a.txt"}));

    ClickHeader(rcFileName);
    QCOMPARE(tree.SortDirection(), sdAscending);
    QCOMPARE(Names(other), (QStringList{"a.txt", "b.txt", "c.txt"}));

    ClickHeader(rcCreateTime);
    QCOMPARE(tree.SortDirection(), sdDescending);
    QCOMPARE(tree.SortColumn(), int(rcCreateTime));
    QCOMPARE(Names(other), (QStringList{"a.txt", "b.txt", "c.txt"}));

    ClickHeader(rcFileSize);
    QCOMPARE(tree.SortDirection(), sdAscending);
    QCOMPARE(Names(other), (QStringList{"c.txt", "a.txt", "b.txt"}));
    QVERIFY(!view_->header()->isSortIndicatorShown());
  }

  void rootsSortByCaptionAndKeepTheirPlaceForTheOtherColumns() {
    for (const QString& caption : CategoryOrder) AddRoot(view_->Tree(), caption.toStdU16String());
    view_->Model().AnnounceNewRows();

    ClickHeader(rcFileName);
    QCOMPARE(Names(nullptr), (QStringList{"Video Files", "Other Files", "Music Files", "HTML Files", "Graphics Files",
                                          "Document Files"}));
    ClickHeader(rcFileName);
    const QStringList alphabetical = {"Document Files", "Graphics Files", "HTML Files",
                                      "Music Files",    "Other Files",    "Video Files"};
    QCOMPARE(Names(nullptr), alphabetical);
    for (const int column : {rcCreateTime, rcModifyTime, rcFileSize, rcCreateTime}) {
      ClickHeader(column);
      QCOMPARE(Names(nullptr), alphabetical);
    }
  }

  void timeColumnsSortByTheNearestWholeDay_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QList<double>>("times");  // of files "0", "1", ... in that order
    QTest::addColumn<QStringList>("descending");
    QTest::addColumn<QStringList>("ascending");

    const QList<double> onePerDay = {Day(3, 0.9), Day(1, 0.1), Day(4, 0.5), Day(2, 0.7)};
    QTest::newRow("create time, one file a day")
        << int(rcCreateTime) << onePerDay << QStringList{"2", "0", "3", "1"} << QStringList{"1", "3", "0", "2"};
    QTest::newRow("modify time, one file a day")
        << int(rcModifyTime) << onePerDay << QStringList{"2", "0", "3", "1"} << QStringList{"1", "3", "0", "2"};
    // 23:00 and 01:00 the next day are less than half a day apart: equal, so they keep their order.
    const QList<double> acrossMidnight = {Day(2, 1.0 / 24), Day(1, 23.0 / 24), Day(5, 0.5)};
    QTest::newRow("times within half a day keep their order")
        << int(rcCreateTime) << acrossMidnight << QStringList{"2", "0", "1"} << QStringList{"0", "1", "2"};
  }

  void timeColumnsSortByTheNearestWholeDay() {
    QFETCH(int, column);
    QFETCH(QList<double>, times);
    QFETCH(QStringList, descending);
    QFETCH(QStringList, ascending);
    ResultNode* other = AddRoot(view_->Tree(), u"Other Files");
    for (qsizetype number = 0; number < times.size(); ++number) {
      AddFile(view_->Tree(), other, QString::number(number).toStdU16String(), times[number], times[number]);
    }
    view_->Model().AnnounceNewRows();
    ClickHeader(column);
    QCOMPARE(Names(other), descending);
    ClickHeader(column);
    QCOMPARE(Names(other), ascending);
  }

  void selectionExpansionAndFocusStayWithTheirNodesThroughASort() {
    ResultTree& tree = view_->Tree();
    ResultNode* music = AddRoot(tree, u"Music Files");
    ResultNode* graphics = AddRoot(tree, u"Graphics Files");
    AddFile(tree, music, u"b.mp3");
    ResultNode* picked = AddFile(tree, music, u"a.mp3");
    AddFile(tree, graphics, u"c.png");
    view_->Model().AnnounceNewRows();
    const QModelIndex pickedIndex = view_->Model().IndexOf(picked);
    view_->expand(view_->Model().IndexOf(music));
    view_->setCurrentIndex(pickedIndex);
    QCOMPARE(tree.FocusedNode(), picked);

    ClickHeader(rcFileName);
    ClickHeader(rcFileName);  // ascending: Graphics before Music, a.mp3 first
    const QModelIndex moved = view_->Model().IndexOf(picked);
    QCOMPARE(moved.row(), 0);
    QCOMPARE(view_->Model().IndexOf(music).row(), 1);
    QVERIFY(view_->isExpanded(view_->Model().IndexOf(music)));
    QVERIFY(!view_->isExpanded(view_->Model().IndexOf(graphics)));
    QCOMPARE(view_->currentIndex(), moved);
    QCOMPARE(view_->selectionModel()->selectedRows(), QModelIndexList{moved});
    QCOMPARE(tree.FocusedNode(), picked);
  }

 private:
  void ClickHeader(int column) {
    QHeaderView* header = view_->header();
    const QPoint inSection(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                           header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, inSection);
  }

  QStringList Names(const ResultNode* parent) const {
    QStringList names;
    const ResultTree& tree = view_->Tree();
    for (size_t row = 0; row < tree.ChildCount(parent); ++row) {
      names.append(QString::fromStdU16String(tree.Child(parent, row)->Data().FileName));
    }
    return names;
  }

  std::unique_ptr<RestoreTree> view_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::RestoreTreeSortTest)
#include "RestoreTreeSortTest.moc"
