#include <QAbstractItemModelTester>
#include <QApplication>
#include <QIcon>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <algorithm>

#include "tests/gui/ResultTreeFill.h"
#include "ui/RestoreTree.h"
#include "ui/ResultTreeModel.h"
#include "ui/RowAnnouncer.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

using test::AddFile;
using test::AddRoot;

std::u16string NumberedName(int number) { return u"file" + QString::number(number).toStdU16String() + u".txt"; }

QImage IconImage(const QVariant& decoration) { return qvariant_cast<QIcon>(decoration).pixmap(16).toImage(); }

}  // namespace

class ResultTreeModelTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    tree_ = std::make_unique<ResultTree>();
    model_ = std::make_unique<ResultTreeModel>(*tree_);
  }
  void cleanup() {
    model_.reset();
    tree_.reset();
  }

  void staysConsistentWhileRowsArriveInBatchesAndAreTickedAndSorted() {
    QAbstractItemModelTester tester(model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    ResultNode* pictures = AddRoot(*tree_, u"Graphics Files");
    ResultNode* music = AddRoot(*tree_, u"Music Files");
    model_->AnnounceNewRows();
    for (int batch = 0; batch < 3; ++batch) {
      for (int number = 0; number < 50; ++number) {
        AddFile(*tree_, number % 2 ? pictures : music, NumberedName(batch * 50 + number), number, 50 - number,
                number * 1000);
      }
      model_->AnnounceNewRows();
    }
    QVERIFY(model_->setData(model_->IndexOf(tree_->Child(pictures, 3)), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(model_->setData(model_->IndexOf(music), Qt::Checked, Qt::CheckStateRole));
    model_->SortTree(rcFileName, sdDescending, RestoreTreeCompareNodes);
    model_->SortTree(rcFileSize, sdAscending, RestoreTreeCompareNodes);
    model_->ClearTree();
    QCOMPARE(model_->rowCount(), 0);
  }

  void showsAppendedRowsOnlyOnceAnnouncedWithOneInsertionPerRoot() {
    ResultNode* pictures = AddRoot(*tree_, u"Graphics Files");
    ResultNode* music = AddRoot(*tree_, u"Music Files");
    model_->AnnounceNewRows();
    QSignalSpy inserted(model_.get(), &QAbstractItemModel::rowsInserted);
    for (int number = 0; number < 1000; ++number)
      AddFile(*tree_, number < 600 ? pictures : music, NumberedName(number));
    QCOMPARE(model_->rowCount(model_->IndexOf(pictures)), 0);
    QCOMPARE(inserted.count(), 0);

    model_->AnnounceNewRows();
    QCOMPARE(model_->rowCount(model_->IndexOf(pictures)), 600);
    QCOMPARE(model_->rowCount(model_->IndexOf(music)), 400);
    QCOMPARE(inserted.count(), 2);

    inserted.clear();
    AddFile(*tree_, music, u"late.mp3");
    model_->AnnounceNewRows();
    QCOMPARE(inserted.count(), 1);
    const QList<QVariant> insertion = inserted.first();
    QCOMPARE(insertion.at(0).value<QModelIndex>(), model_->IndexOf(music));
    QCOMPARE(insertion.at(1).toInt(), 400);
    QCOMPARE(insertion.at(2).toInt(), 400);
  }

  // Every announcement costs the view a layout and a paint. While the view has room, each pause
  // shows what the scan found; after that rows come at most four times a second, once they add
  // an eighth, and none waits more than a second.
  void scanPausesFillTheViewAtOnceThenAnnounceAFewTimesASecond() {
    constexpr int FileCount = 100'000;
    constexpr int Pause = 256;
    constexpr int64_t MsPerPause = 10;
    constexpr size_t RowsInSight = 20;
    int64_t now = 0;
    RowAnnouncer announcer(*model_, [] { return RowsInSight; }, [&now] { return now; });
    ResultNode* other = AddRoot(*tree_, u"Other Files");
    model_->AnnounceNewRows();
    QSignalSpy inserted(model_.get(), &QAbstractItemModel::rowsInserted);
    QList<int> shown;
    for (int number = 0; number < FileCount; ++number) {
      if (number % Pause == 0) {
        now += MsPerPause;
        announcer.Pause();
        shown.append(model_->rowCount(model_->IndexOf(other)));
      }
      AddFile(*tree_, other, NumberedName(number));
    }
    announcer.Finish();

    QCOMPARE(model_->rowCount(model_->IndexOf(other)), FileCount);
    // The first batch fills the view at once; the next waits a quarter of a second.
    QCOMPARE(shown.mid(0, 3), (QList<int>{0, Pause, Pause}));
    const int64_t scanMs = now;
    QVERIFY2(inserted.count() <= 2 + scanMs / 250, qPrintable(QString::number(inserted.count())));
    constexpr int PausesPerSecond = 1000 / MsPerPause;
    for (qsizetype pause = PausesPerSecond + 1; pause < shown.size(); ++pause) {
      QVERIFY2(shown[pause] >= (pause - PausesPerSecond - 1) * Pause, qPrintable(QString::number(pause)));
    }
  }

  void rootCaptionCountsItsFilesAsTheyAreAnnounced() {
    ResultNode* music = AddRoot(*tree_, u"Music Files");
    model_->AnnounceNewRows();
    const QModelIndex root = model_->IndexOf(music);
    QCOMPARE(root.data().toString(), QStringLiteral("Music Files(0)"));
    QSignalSpy changed(model_.get(), &QAbstractItemModel::dataChanged);
    for (int number = 0; number < 12; ++number) AddFile(*tree_, music, NumberedName(number));
    model_->AnnounceNewRows();
    QCOMPARE(root.data().toString(), QStringLiteral("Music Files(12)"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.first().at(0).value<QModelIndex>(), root);
  }

  void showsAFolderForRootsAndADocumentForFilesInTheFirstColumnOnly() {
    ResultNode* music = AddRoot(*tree_, u"Music Files");
    AddFile(*tree_, music, u"song.mp3");
    model_->AnnounceNewRows();
    const QModelIndex root = model_->IndexOf(music);
    const QModelIndex file = model_->index(0, 0, root);
    const QImage folder = QApplication::style()->standardIcon(QStyle::SP_DirIcon).pixmap(16).toImage();
    const QImage document = QApplication::style()->standardIcon(QStyle::SP_FileIcon).pixmap(16).toImage();
    QVERIFY(folder != document);
    QCOMPARE(IconImage(root.data(Qt::DecorationRole)), folder);
    QCOMPARE(IconImage(file.data(Qt::DecorationRole)), document);
    QVERIFY(!model_->index(0, rcFileSize, root).data(Qt::DecorationRole).isValid());
  }

  void clicksFollowTheTriStateRules_data() {
    QTest::addColumn<int>("fileCount");
    QTest::addColumn<QList<int>>("clicks");  // -1 is the root, others are file rows
    QTest::addColumn<int>("rootState");
    QTest::addColumn<QList<int>>("fileStates");
    QTest::addColumn<int>("checkedNodes");

    QTest::newRow("ticking the only file ticks the root")
        << 1 << QList<int>{0} << int(Qt::Checked) << QList<int>{Qt::Checked} << 2;
    QTest::newRow("ticking one of two files leaves the root partly ticked")
        << 2 << QList<int>{1} << int(Qt::PartiallyChecked) << QList<int>{Qt::Unchecked, Qt::Checked} << 1;
    QTest::newRow("ticking the second file ticks the root")
        << 2 << QList<int>{1, 0} << int(Qt::Checked) << QList<int>{Qt::Checked, Qt::Checked} << 3;
    QTest::newRow("unticking a full root unticks every file")
        << 2 << QList<int>{0, 1, -1} << int(Qt::Unchecked) << QList<int>{Qt::Unchecked, Qt::Unchecked} << 0;
    QTest::newRow("a click on a partly ticked root ticks every file")
        << 3 << QList<int>{2, -1} << int(Qt::Checked) << QList<int>{Qt::Checked, Qt::Checked, Qt::Checked} << 4;
    QTest::newRow("ticking a category of three counts four ticked nodes")
        << 3 << QList<int>{-1} << int(Qt::Checked) << QList<int>{Qt::Checked, Qt::Checked, Qt::Checked} << 4;
    QTest::newRow("unticking a file of a full root leaves it partly ticked")
        << 3 << QList<int>{-1, 1} << int(Qt::PartiallyChecked) << QList<int>{Qt::Checked, Qt::Unchecked, Qt::Checked}
        << 2;
  }

  void clicksFollowTheTriStateRules() {
    QFETCH(int, fileCount);
    QFETCH(QList<int>, clicks);
    QFETCH(int, rootState);
    QFETCH(QList<int>, fileStates);
    QFETCH(int, checkedNodes);

    ResultNode* graphics = AddRoot(*tree_, u"Graphics Files");
    for (int number = 0; number < fileCount; ++number) AddFile(*tree_, graphics, NumberedName(number));
    AddRoot(*tree_, u"Music Files");  // an untouched neighbour
    model_->AnnounceNewRows();
    const QModelIndex root = model_->IndexOf(graphics);
    for (const int click : clicks) {
      // The value a view proposes does not matter: the click rule decides.
      const QModelIndex target = click < 0 ? root : model_->index(click, 0, root);
      QVERIFY(model_->setData(target, Qt::Unchecked, Qt::CheckStateRole));
    }
    QCOMPARE(root.data(Qt::CheckStateRole).toInt(), rootState);
    for (int row = 0; row < fileCount; ++row) {
      QCOMPARE(model_->index(row, 0, root).data(Qt::CheckStateRole).toInt(), fileStates.at(row));
    }
    QCOMPARE(model_->index(1, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(tree_->CountInCheckState(csCheckedNormal), size_t(checkedNodes));
  }

  void tickingARootOfManyFilesReportsOneRangePerParent() {
    constexpr int FileCount = 100'000;
    ResultNode* other = AddRoot(*tree_, u"Other Files");
    for (int number = 0; number < FileCount; ++number) AddFile(*tree_, other, NumberedName(number));
    model_->AnnounceNewRows();
    QSignalSpy changed(model_.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(model_->setData(model_->IndexOf(other), Qt::Checked, Qt::CheckStateRole));

    QCOMPARE(changed.count(), 2);
    bool filesReported = false;
    for (const QList<QVariant>& change : changed) {
      const QModelIndex first = change.at(0).value<QModelIndex>();
      const QModelIndex last = change.at(1).value<QModelIndex>();
      QCOMPARE(first.parent(), last.parent());
      if (first.parent() == model_->IndexOf(other)) {
        filesReported = true;
        QCOMPARE(first.row(), 0);
        QCOMPARE(last.row(), FileCount - 1);
      }
    }
    QVERIFY(filesReported);
  }

  // A view resolves a changed range row by row against the rows it has laid out: ticking a
  // closed category of many files beside an opened one froze the window for half a minute.
  void aViewHearsOfTickedFilesOnlyWhereItShowsThem() {
    constexpr int FileCount = 20'000;
    RestoreTree view;
    view.resize(400, 300);
    ResultNode* graphics = AddRoot(view.Tree(), u"Graphics Files");
    ResultNode* html = AddRoot(view.Tree(), u"HTML Files");
    for (int number = 0; number < FileCount; ++number) {
      AddFile(view.Tree(), graphics, NumberedName(number));
      AddFile(view.Tree(), html, NumberedName(number));
    }
    ResultTreeModel& model = view.Model();
    model.AnnounceNewRows();
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    const QModelIndex opened = model.IndexOf(graphics);
    view.expand(opened);
    view.scrollTo(model.index(FileCount / 2, 0, opened), QAbstractItemView::PositionAtTop);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

    QVERIFY(model.setData(model.IndexOf(html), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!changed.isEmpty());
    for (const QList<QVariant>& change : changed) QVERIFY(!change.at(0).value<QModelIndex>().parent().isValid());
    QCOMPARE(model.index(FileCount - 1, 0, model.IndexOf(html)).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));

    // The opened category: the files on screen are repainted, and no others are told.
    changed.clear();
    const int top = view.indexAt(QPoint(0, 0)).row();
    const int bottom = view.indexAt(QPoint(0, view.viewport()->height() - 1)).row();
    QVERIFY(model.setData(opened, Qt::Checked, Qt::CheckStateRole));
    int filesTold = 0;
    for (const QList<QVariant>& change : changed) {
      const QModelIndex first = change.at(0).value<QModelIndex>();
      if (first.parent() != opened) continue;
      ++filesTold;
      QVERIFY(first.row() <= top);
      QVERIFY(change.at(1).value<QModelIndex>().row() >= bottom);
      QVERIFY(change.at(1).value<QModelIndex>().row() - first.row() <= bottom - top + 1);
    }
    QCOMPARE(filesTold, 1);
    QCOMPARE(model.index(0, 0, opened).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
  }

  void changesToRowsNotYetAnnouncedAreNotReported() {
    QAbstractItemModelTester tester(model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    ResultNode* video = AddRoot(*tree_, u"Video Files");
    AddFile(*tree_, video, u"seen.avi");
    model_->AnnounceNewRows();
    AddFile(*tree_, video, u"pending.avi");
    QSignalSpy changed(model_.get(), &QAbstractItemModel::dataChanged);
    QVERIFY(model_->setData(model_->IndexOf(video), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!changed.isEmpty());
    for (const QList<QVariant>& change : changed) {
      const QModelIndex last = change.at(1).value<QModelIndex>();
      QVERIFY(last.isValid());
      if (last.parent().isValid()) QCOMPARE(last.row(), 0);
    }
    model_->AnnounceNewRows();
    QCOMPARE(model_->index(1, 0, model_->IndexOf(video)).data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
  }

  void sortingMovesPersistentIndexesWithTheirNodes() {
    ResultNode* documents = AddRoot(*tree_, u"Document Files");
    ResultNode* first = AddFile(*tree_, documents, u"b.doc");
    ResultNode* second = AddFile(*tree_, documents, u"a.doc");
    ResultNode* third = AddFile(*tree_, documents, u"c.doc");
    model_->AnnounceNewRows();
    const QPersistentModelIndex kept(model_->index(0, rcFileSize, model_->IndexOf(documents)));
    model_->SortTree(rcFileName, sdAscending, RestoreTreeCompareNodes);
    QCOMPARE(model_->NodeOf(kept), first);
    QCOMPARE(kept.row(), 1);
    QCOMPARE(kept.column(), int(rcFileSize));
    QCOMPARE(model_->NodeOf(model_->index(0, 0, model_->IndexOf(documents))), second);
    QCOMPARE(model_->NodeOf(model_->index(2, 0, model_->IndexOf(documents))), third);
  }

  void aFilterShowsItsFilesOnlyWhileRowsArriveAreSortedAndTicked() {
    QAbstractItemModelTester tester(model_.get(), QAbstractItemModelTester::FailureReportingMode::QtTest);
    ResultNode* music = AddRoot(*tree_, u"Music Files");
    std::vector<ResultNode*> files;
    for (int number = 0; number < 10; ++number) files.push_back(AddFile(*tree_, music, NumberedName(number), 0, 0, number));
    model_->AnnounceNewRows();
    const QPersistentModelIndex root(model_->IndexOf(music));
    const QPersistentModelIndex shown(model_->IndexOf(files[7], rcFileSize));
    const QPersistentModelIndex hidden(model_->IndexOf(files[2]));

    model_->SetFilter([](const ResultNode& node) { return node.Data().FileSize % 2 == 1; });
    QCOMPARE(model_->rowCount(root), 5);
    for (int row = 0; row < 5; ++row) QCOMPARE(model_->NodeOf(model_->index(row, 0, root)), files[2 * row + 1]);
    QCOMPARE(model_->NodeOf(shown), files[7]);
    QCOMPARE(shown.row(), 3);
    QCOMPARE(shown.column(), int(rcFileSize));
    QVERIFY(!hidden.isValid());
    QVERIFY(!model_->IndexOf(files[2]).isValid());
    QCOMPARE(root.data().toString(), QStringLiteral("Music Files(5)"));

    // Rows that arrive later are asked as the scan adds them; only shown ones are inserted.
    for (const int size : {11, 12}) tree_->ApplyFilter(AddFile(*tree_, music, NumberedName(size), 0, 0, size));
    model_->AnnounceNewRows();
    QCOMPARE(model_->rowCount(root), 6);

    model_->SortTree(rcFileSize, sdDescending, RestoreTreeCompareNodes);
    QCOMPARE(model_->index(0, rcFileSize, root).data().toString(), QStringLiteral("11 Bytes"));
    QCOMPARE(shown.row(), 2);

    QVERIFY(model_->setData(root, Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(root.data(Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(tree_->CountInCheckState(csCheckedNormal), size_t{7});

    model_->SetFilter(nullptr);
    QCOMPARE(model_->rowCount(root), 12);
    QCOMPARE(root.data(Qt::CheckStateRole).toInt(), int(Qt::PartiallyChecked));
    QCOMPARE(model_->IndexOf(files[2]).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
  }

  void sortingAnnouncesPendingRowsFirst() {
    ResultNode* documents = AddRoot(*tree_, u"Document Files");
    AddFile(*tree_, documents, u"b.doc");
    model_->AnnounceNewRows();
    ResultNode* pending = AddFile(*tree_, documents, u"a.doc");
    model_->SortTree(rcFileName, sdAscending, RestoreTreeCompareNodes);
    QCOMPARE(model_->rowCount(model_->IndexOf(documents)), 2);
    QCOMPARE(model_->IndexOf(pending).row(), 0);
  }

 private:
  std::unique_ptr<ResultTree> tree_;
  std::unique_ptr<ResultTreeModel> model_;
};

}  // namespace salvoran

QTEST_MAIN(salvoran::ResultTreeModelTest)
#include "ResultTreeModelTest.moc"
