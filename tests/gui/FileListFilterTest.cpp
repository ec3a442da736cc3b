#include <QTest>

#include "tests/gui/ResultTreeFill.h"
#include "ui/FileListFilter.h"

namespace salvoran {

using test::AddFile;
using test::AddRoot;

class FileListFilterTest : public QObject {
  Q_OBJECT

 private slots:
  void showsFilesWhoseNameOrFolderContainsTheTextInAnyCase_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hideOverwritten");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("nothing typed") << "" << false << QStringList{"Rechnung.pdf", "ärger.txt", "IMG_01.jpg", "x.tmp"};
    QTest::newRow("blanks only") << "  " << false << QStringList{"Rechnung.pdf", "ärger.txt", "IMG_01.jpg", "x.tmp"};
    QTest::newRow("name, other case") << "img" << false << QStringList{"IMG_01.jpg"};
    QTest::newRow("name, letter outside ASCII") << "ÄRGER" << false << QStringList{"ärger.txt"};
    QTest::newRow("folder") << "documents/2019" << false << QStringList{"Rechnung.pdf", "ärger.txt"};
    QTest::newRow("folder outside ASCII, other case") << "ÅSA" << false << QStringList{"IMG_01.jpg"};
    QTest::newRow("across name and folder matches nothing") << "2019/Rechnung" << false << QStringList{};
    QTest::newRow("hide overwritten") << "" << true << QStringList{"Rechnung.pdf", "ärger.txt", "IMG_01.jpg"};
    QTest::newRow("text and hide overwritten") << ".tmp" << true << QStringList{};
  }

  void showsFilesWhoseNameOrFolderContainsTheTextInAnyCase() {
    QFETCH(QString, text);
    QFETCH(bool, hideOverwritten);
    QFETCH(QStringList, shown);
    ResultTree tree;
    ResultNode* root = AddRoot(tree, u"Other Files");
    ResultNode* invoice = AddFile(tree, root, u"Rechnung.pdf");
    ResultNode* anger = AddFile(tree, root, u"\u00e4rger.txt");
    ResultNode* photo = AddFile(tree, root, u"IMG_01.jpg");
    ResultNode* temporary = AddFile(tree, root, u"x.tmp");
    tree.SetFolder(invoice, "/Users/ann/Documents/2019");
    tree.SetFolder(anger, "/Users/ann/Documents/2019");
    tree.SetFolder(photo, "/Users/\xc3\xa5sa");
    tree.SetClusterUse(invoice, {10, 9});  // partly overwritten: still shown
    tree.SetClusterUse(temporary, {4, 4});

    FileListFilter filter(text, hideOverwritten);
    QCOMPARE(filter.ShowsAll(), shown.size() == 4);
    QStringList actual;
    for (ResultNode* file : {invoice, anger, photo, temporary}) {
      if (filter.Shows(*file)) actual.append(QString::fromStdU16String(file->Data().FileName));
    }
    QCOMPARE(actual, shown);
  }

  // Unicode folds the long s to "s" and the Kelvin sign to "k": typed text of ASCII finds them too.
  void asciiTextFindsLettersOutsideAsciiThatFoldToIt() {
    ResultTree tree;
    ResultNode* root = AddRoot(tree, u"Other Files");
    ResultNode* folded = AddFile(tree, root, u"\u017f\u212a.dat");
    ResultNode* plain = AddFile(tree, root, u"SKY.dat");
    ResultNode* other = AddFile(tree, root, u"s_k.dat");
    FileListFilter filter("sk", false);
    QVERIFY(filter.Shows(*folded));
    QVERIFY(filter.Shows(*plain));
    QVERIFY(!filter.Shows(*other));
  }
};

}  // namespace salvoran

QTEST_MAIN(salvoran::FileListFilterTest)
#include "FileListFilterTest.moc"
