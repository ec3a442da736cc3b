#include <QAbstractItemModelTester>
#include <QApplication>
#include <QIcon>
#include <QSignalSpy>
#include <QStyle>
#include <QTest>
#include <algorithm>

#include "tests/gui/ResultTreeFill.h"
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

  void scanPausesAnnounceRowsOnceTheyGrowTheListByAnEighth() {
    constexpr int FileCount = 100'000;
    constexpr int Pause = 256;
    RowAnnouncer announcer(*model_);
    ResultNode* other = AddRoot(*tree_, u"Other Files");
    model_->AnnounceNewRows();
    QSignalSpy inserted(model_.get(), &QAbstractItemModel::rowsInserted);
    QList<int> shown;
    for (int number = 0; number < FileCount; ++number) {
      if (number % Pause == 0) {
        announcer.Pause();
        shown.append(model_->rowCount(model_->IndexOf(other)));
      }
      AddFile(*tree_, other, NumberedName(number));
    }
    announcer.Finish();

    QCOMPARE(model_->rowCount(model_->IndexOf(other)), FileCount);
    // The first pauses show every batch; later ones wait for an eighth more.
    QCOMPARE(shown.mid(0, 5), (QList<int>{0, Pause, 2 * Pause, 3 * Pause, 4 * Pause}));
    QVERIFY2(inserted.count() < FileCount / Pause / 4, qPrintable(QString::number(inserted.count())));
    for (qsizetype pause = 1; pause < shown.size(); ++pause) {
      const int hidden = pause * Pause - shown[pause];
      QVERIFY2(hidden <= std::max(Pause, shown[pause] / 8 + Pause), qPrintable(QString::number(pause)));
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
